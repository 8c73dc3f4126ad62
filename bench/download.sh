#!/bin/sh
# Throughput and memory of a recording download ("/4013"): at least 200 MiB
# of frames from the simulated daemon through nvr-cgi's AVI stream to a
# reader, against a raw copy of the same frames through a pipe. Prints the
# MB/s of each, their ratio (goal: the download reaches at least 50% of the
# pipe) and nvr-cgi's peak RSS (goal: under 24 MiB).
#   bench/download.sh [MiB]     (default 200; needs ffmpeg and a build in build/)
set -e
cd "$(dirname "$0")/.."
mib=${1:-200}
build=${NVR_BUILD_DIR:-build}
[ -x "$build/nvr-cgi" ] && [ -x "$build/nvr-cored" ] || ninja -C "$build" nvr-cgi nvr-cored >/dev/null
command -v ffmpeg >/dev/null || { echo "bench/download.sh: ffmpeg is needed to make the recording" >&2; exit 1; }
root=$(mktemp -d)
mkdir -p "$root/tmp" "$root/mnt/nand/app" "$root/var/run" "$root/var/lib/nvr-cored"
trap 'rm -rf "$root"' EXIT

# Two seconds of 720p noise at a high rate: frames of about 1 MB, two pieces
# each, as a busy high-resolution camera records them.
rec="$root/recording.h264"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -vf noise=alls=40:allf=t \
  -t 2 -c:v libx264 -preset ultrafast -qp 14 -g 25 -bsf:v h264_mp4toannexb -f h264 "$rec"
size=$(stat -c %s "$rec")
loops=$(( (mib * 1048576 + size - 1) / size ))
seconds=$(( loops * 2 ))
printf 'recording %s\nseconds %d\nsize 1280x720\n' "$rec" "$seconds" >"$root/var/lib/nvr-cored/download.conf"

"$build/nvr-cored" --root "$root"   # returns once its socket accepts
cored_pid=$(cat "$root/var/lib/nvr-cored/nvr-cored.pid")
trap 'kill "$cored_pid" 2>/dev/null; rm -rf "$root"' EXIT

python3 - "$build/nvr-cgi" "$root" "$rec" "$loops" "$seconds" <<'PY'
import os, subprocess, sys, time
program, root, rec, loops, seconds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
frames = open(rec, "rb").read()

def drain(fd):
    total = 0
    while chunk := os.read(fd, 1 << 20):
        total += len(chunk)
    return total

# The pipe: the same frame bytes written straight into a pipe and read out,
# the writer at the priority nvr-cgi streams at (nice 19), so that both see
# the same share of a busy machine.
def raw_copy():
    r, w = os.pipe()
    t = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        os.close(r)
        os.nice(19)  # the priority nvr-cgi streams at
        for _ in range(loops):
            view = memoryview(frames)
            while view:
                view = view[os.write(w, view):]
        os._exit(0)
    os.close(w)
    total = drain(r)
    os.waitpid(pid, 0)
    os.close(r)
    return total, time.perf_counter() - t

body = ('{"id":0,"streamType":0,"startTime":"2024-01-02T00:00:00Z","endTime":"2024-01-02T%02d:%02d:%02dZ"}'
        % (seconds // 3600, seconds // 60 % 60, seconds % 60)).encode()
env = dict(NVR_ROOT=root, PATH="/usr/bin:/bin", REQUEST_METHOD="POST", CONTENT_TYPE="application/json",
           CONTENT_LENGTH=str(len(body)), PATH_INFO="/4013", REMOTE_ADDR="127.0.0.1", TZ="UTC")

def download():
    r, w = os.pipe()
    t = time.perf_counter()
    # Through time(1): the peak RSS of a child forked from this process
    # would also count this process's own memory from before the exec.
    p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", root + "/rss", program], env=env,
                         stdin=subprocess.PIPE, stdout=w)
    os.close(w)
    p.stdin.write(body)
    p.stdin.close()
    total = drain(r)
    p.wait()
    took = time.perf_counter() - t
    os.close(r)
    return total, took, int(open(root + "/rss").read().split()[-1])

raw_bytes, raw_time = raw_copy()
got, took, rss = download()
raw_rate = raw_bytes / raw_time / 1e6
rate = got / took / 1e6
print(f"frames          {raw_bytes / 1048576:.0f} MiB (a loop of 50 frames: {len(frames) // 1000} kB)")
print(f"pipe            {raw_rate:8.1f} MB/s  ({raw_time:.2f} s)")
print(f"download (AVI)  {rate:8.1f} MB/s  ({took:.2f} s, {got / 1048576:.0f} MiB)")
print(f"ratio           {rate / raw_rate * 100:.0f}% of the pipe (goal: 50% or more)")
print(f"peak RSS        {rss / 1024:.1f} MiB (goal: under 24 MiB)")
if got < raw_bytes:
    sys.exit("the download is shorter than its frames")
PY
