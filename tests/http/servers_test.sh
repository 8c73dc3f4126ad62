#!/usr/bin/env bash
# The same requests behind each web server a recorder may run: lighttpd,
# busybox httpd, Apache (mod_cgi) and nginx with fcgiwrap. The server is
# started on a free loopback port for the test; a server that is not installed
# or cannot start here makes the test skip (77) with the reason.
#
#   tests/http/servers_test.sh SOURCE_DIR BUILD_DIR SERVER
#   SERVER: lighttpd | busybox | apache | nginx
set -uo pipefail

src=$1
build=$(cd "$2" && pwd)
server=$3
# shellcheck source=tests/http/test_lib.sh
. "$src/tests/http/test_lib.sh" "$src"

skip() {
  echo "skipped: $*"
  exit 77
}
case "$server" in
  lighttpd) ;;
  busybox)
    command -v busybox > /dev/null || skip "busybox is not installed (tools/install-deps.sh)"
    busybox --list 2> /dev/null | grep -qx httpd || skip "this busybox has no httpd"
    ;;
  apache)
    apache=$(command -v apache2 || echo /usr/sbin/apache2)
    [ -x "$apache" ] || skip "apache2 is not installed (tools/install-deps.sh)"
    modules=/usr/lib/apache2/modules
    [ -f "$modules/mod_cgi.so" ] || skip "apache2 has no mod_cgi"
    ;;
  nginx)
    nginx=$(command -v nginx || echo /usr/sbin/nginx)
    fcgiwrap=$(command -v fcgiwrap || echo /usr/sbin/fcgiwrap)
    [ -x "$nginx" ] || skip "nginx is not installed (tools/install-deps.sh)"
    [ -x "$fcgiwrap" ] || skip "fcgiwrap is not installed (tools/install-deps.sh)"
    ;;
  *)
    echo "unknown server $server" >&2
    exit 2
    ;;
esac

# Apache does not run programs as root: the whole device root is opened to
# the account it runs them as.
umask 000
root=$(mktemp -d "${TMPDIR:-/tmp}/nvr-srv-XXXXXX")
chmod 0777 "$root"
state="$root/var/lib/$server-test"
mkdir -p "$state"
server_pid=""
wrap_pid=""
# shellcheck disable=SC2317  # run by the trap
finish() {
  [ -n "$server_pid" ] && demo_stop_pid "$server_pid"
  [ -n "$wrap_pid" ] && demo_stop_pid "$wrap_pid"
  demo_stop_all "$root"
  wait 2> /dev/null
  rm -rf "$root"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

"$build/nvr-factory" --root "$root" > /dev/null || {
  echo "nvr-factory failed" >&2
  exit 1
}
demo_start_sim "$root" "$build" > /dev/null || {
  echo "the simulator did not start" >&2
  exit 1
}
chmod -R a+rwX "$root"
cgi_path="$build/platform-bin:/usr/local/bin:/usr/bin:/bin"

# waits until PID accepts on PORT; 1 when it ended first
wait_for_port() {
  for _ in $(seq 100); do
    demo_alive "$1" || return 1
    demo_port_in_use "$2" && return 0
    sleep 0.1
  done
  return 1
}

start_server() {
  local port=$1
  case "$server" in
    lighttpd)
      demo_start_web "$root" "$port" "$build" || return 1
      server_pid=$demo_web_pid
      ;;
    busybox)
      mkdir -p "$state/www/cgi-bin"
      ln -sf "$build/nvr-cgi" "$state/www/cgi-bin/nvr.cgi"
      env -i NVR_ROOT="$root" PATH="$cgi_path" busybox httpd -f -p "127.0.0.1:$port" \
        -h "$state/www" > "$state/server.log" 2>&1 &
      server_pid=$!
      ;;
    apache)
      mkdir -p "$state/www"
      cat > "$state/apache.conf" << CONF
ServerRoot "$state"
ServerName 127.0.0.1
Listen 127.0.0.1:$port
PidFile "$state/apache.pid"
ErrorLog "$state/error.log"
Mutex file:$state
LoadModule mpm_prefork_module $modules/mod_mpm_prefork.so
LoadModule authz_core_module $modules/mod_authz_core.so
LoadModule alias_module $modules/mod_alias.so
LoadModule env_module $modules/mod_env.so
LoadModule cgi_module $modules/mod_cgi.so
DocumentRoot "$state/www"
ScriptAlias /cgi-bin/nvr.cgi "$build/nvr-cgi"
<Directory "$build">
  Require all granted
</Directory>
SetEnv NVR_ROOT "$root"
SetEnv PATH "$cgi_path"
CONF
      if [ "$(id -u)" = 0 ]; then
        setpriv --reuid=www-data --regid=www-data --clear-groups \
          "$apache" -f "$state/apache.conf" -DFOREGROUND > "$state/server.log" 2>&1 &
      else
        "$apache" -f "$state/apache.conf" -DFOREGROUND > "$state/server.log" 2>&1 &
      fi
      server_pid=$!
      ;;
    nginx)
      mkdir -p "$state/tmp"
      env -i NVR_ROOT="$root" PATH="$cgi_path" "$fcgiwrap" -s "unix:$state/fcgiwrap.sock" \
        > "$state/fcgiwrap.log" 2>&1 &
      wrap_pid=$!
      local user_line=""
      [ "$(id -u)" = 0 ] && user_line="user root;"
      cat > "$state/nginx.conf" << CONF
$user_line
daemon off;
worker_processes 1;
pid $state/nginx.pid;
error_log $state/error.log;
events {}
http {
  access_log off;
  client_body_temp_path $state/tmp/body;
  fastcgi_temp_path $state/tmp/fastcgi;
  proxy_temp_path $state/tmp/proxy;
  uwsgi_temp_path $state/tmp/uwsgi;
  scgi_temp_path $state/tmp/scgi;
  server {
    listen 127.0.0.1:$port;
    client_max_body_size 16m;
    location /cgi-bin/nvr.cgi/ {
      fastcgi_split_path_info ^(/cgi-bin/nvr\.cgi)(/.*)\$;
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME $build/nvr-cgi;
      fastcgi_param PATH_INFO \$fastcgi_path_info;
      fastcgi_pass unix:$state/fcgiwrap.sock;
    }
  }
}
CONF
      "$nginx" -c "$state/nginx.conf" -p "$state" > "$state/server.log" 2>&1 &
      server_pid=$!
      ;;
  esac
  [ "$server" = lighttpd ] || wait_for_port "$server_pid" "$port"
}

started=0
for _ in 1 2 3; do
  port=$(free_port)
  if start_server "$port"; then
    started=1
    break
  fi
  [ -n "$server_pid" ] && demo_stop_pid "$server_pid"
  [ -n "$wrap_pid" ] && demo_stop_pid "$wrap_pid"
  server_pid=""
  wrap_pid=""
done
[ "$started" = 1 ] || skip "$server could not be started here: $(tail -n 3 "$state"/*.log 2> /dev/null | tr '\n' ' ')"
base="http://127.0.0.1:$port/cgi-bin/nvr.cgi"

# request ARGS...: runs curl; sets code and body ("000" when the connection failed)
request() {
  code=$(curl -s -o "$state/body" -D "$state/head" -w '%{http_code}' --max-time 20 "$@")
  body=$(cat "$state/body" 2> /dev/null)
  location=$(tr -d '\r' < "$state/head" | sed -n 's/^[Ll]ocation: *//p' | tail -n 1)
}
admin_digest=$(printf '%s' 123456 | md5sum | cut -c1-32)

request -H 'Content-Type: application/json' \
  --data-binary "{\"userName\":\"admin\",\"md5\":\"$admin_digest\"}" "$base/1000"
check "$server: login" "$code ${body:0:1}" "200 {"
contains "$server: login answer" "$body" '"userName": "admin"'

request -g "$base/1015?{%22lan%22:%22en-US%22}"
check "$server: JSON query string" "$code" 200
contains "$server: JSON query string answer" "$body" '"mainType"'

printf 'RIFF\0\0\0\0WAVEfmt bytes' > "$state/bell.wav"
request -F "file=@$state/bell.wav;filename=bell.wav" "$base/6321"
check "$server: multipart upload" "$code ${body%%, data:*}" "200 CGI OK status:[0]"

head -c 100000 /dev/zero | tr '\0' 'p' | sed 's/^/{"pad":"/; s/$/"}/' > "$state/big.json"
request -H 'Content-Type: application/json' --data-binary "@$state/big.json" "$base/1014"
check "$server: 100000-byte body" "$code $body" "200 OK"

request -H 'Content-Type: application/json' --data-binary 'not json' "$base/1000"
check "$server: refused request" "$code [$body]" "400 []"

request "$base/9999"
check "$server: unknown route" "$code [$body]" "404 []"

request "$base/1018?token=unknown"
check "$server: redirect" "$code $location" "302 ../../html/home.html"

request -H 'Transfer-Encoding: chunked' -F "file=@$state/bell.wav;filename=bell.wav" "$base/6321"
if [ "$server" = busybox ]; then
  # busybox httpd hands the chunked framing to the program undecoded: the
  # upload is not understood, but the run still answers.
  case "$code" in
    200 | 400) pass "$server: chunked upload answered sanely ($code; busybox does not de-chunk)" ;;
    *) fail "$server: chunked upload: $code [$body]" ;;
  esac
else
  check "$server: chunked upload" "$code ${body%%, data:*}" "200 CGI OK status:[0]"
fi

if [ "$server" = lighttpd ]; then
  # The demo serves the pages' own files with their media types.
  for file in page.html app.js style.css data.json; do
    printf 'x' > "$root/opt/app/www/$file"
  done
  for pair in "page.html text/html" "app.js text/javascript" "style.css text/css" \
    "data.json application/json"; do
    request "http://127.0.0.1:$port/${pair% *}"
    media=$(tr -d '\r' < "$state/head" | sed -n 's/^[Cc]ontent-[Tt]ype: *//p' | cut -d';' -f1)
    check "$server: ${pair% *} served as ${pair#* }" "$code $media" "200 ${pair#* }"
  done
fi

[ "$failures" = 0 ] || {
  echo "$failures check(s) failed; logs:" >&2
  tail -n 20 "$state"/*.log >&2 2> /dev/null
  exit 1
}
echo "all checks passed behind $server"
