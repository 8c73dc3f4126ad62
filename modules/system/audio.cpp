// Alarm audio files: uploads become files in "/tmp" named by the Base64 form
// of their display name, which the core daemon then takes over.
#include "modules/system/system_module.h"
#include "platform/qvbase64.h"
#include "platform/safe_path.h"

namespace {

// The display name of a list record; nothing when it is not a Base64 text of
// a non-empty name.
std::optional<std::string> decode_name(const AlarmAudioFile& record) {
  char name[kAudioNameSize];
  int length =
      base64DecodeUrl(name, sizeof name - 1, record.name, strnlen(record.name, sizeof record.name));
  if (length <= 0 || memchr(name, '\0', static_cast<size_t>(length)) != nullptr)
    return std::nullopt;
  return std::string(name, static_cast<size_t>(length));
}

// The encoded form of a display name; false when it does not fit 127 characters.
bool encode_name(const char* name, char (&encoded)[kAudioNameSize]) {
  // The whole field is sent to the daemon: no stray bytes after the NUL.
  memset(encoded, 0, sizeof encoded);
  return name != nullptr && base64EncodeUrl(encoded, sizeof encoded, name, strlen(name)) > 0;
}

void on_get_audio_file_list_cb(uint32_t count, const void* payload) {
  if (count < 1) return;
  nvr::Json answer = nvr::json_new_object();
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < count; ++i) {
    const AlarmAudioFile record = nvr::record_at<AlarmAudioFile>(payload, i);
    if (record.enable != 1) continue;
    nvr::Json file = nvr::json_new_object();
    nvr::json_add_int(file.get(), "id", record.id);
    nvr::json_add_int(file.get(), "enable", record.enable);
    if (std::optional<std::string> name = decode_name(record))
      nvr::json_add_string(file.get(), "name", *name);
    nvr::json_append(list.get(), std::move(file));
  }
  nvr::json_add(answer.get(), "audioFileList", std::move(list));
  nvr::json_add_int(answer.get(), "status", 0);
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kAudioReplies[] = {
    {kReplyAudioFileList, sizeof(AlarmAudioFile), on_get_audio_file_list_cb},
    {kReplyAudioFileAdd, sizeof(int32_t), on_cgi_common_json_cb},
    {kReplyAudioFileDelete, sizeof(int32_t), on_cgi_common_json_cb},
    {kReplyAudioFileRename, sizeof(int32_t), on_cgi_common_json_cb},
    {kReplyAudioFileSelect, sizeof(int32_t), on_cgi_common_json_cb},
};

// Reply dispatcher of this area (replies 9012 to 9016).
constexpr IpcCallback on_audio_ipc_callback = nvr::reply_dispatcher<kAudioReplies>;

// A change the daemon answered goes to the operation log; no answer is an error.
void ask_and_log_change(int32_t request_id, const void* payload, int32_t length) {
  if (nvr::ask_or_answer(on_audio_ipc_callback, request_id, payload, length, nvr::Silence::kJson))
    cgi_send_operation_log(kLogSubChangeSettings, kLogParamAudioFile, 0);
}

// Moves the upload at `real_path` ("/tmp/<file name>") to the Base64 form of
// `name` beside it; false when the name does not encode or the move failed.
// rename(2) replaces a link of that name instead of following it into another
// folder.
bool move_to_encoded_name(const std::string& real_path, const char* name,
                          char (&encoded)[kAudioNameSize]) {
  return encode_name(name, encoded) && nvr::is_plain_file_name(encoded) &&
         rename(real_path.c_str(), nvr::dev_path(std::string("/tmp/") + encoded).c_str()) == 0;
}

// The readable upload of a plain file name in "/tmp".
std::optional<std::string> readable_upload(const char* file_name) {
  std::optional<std::string> upload = nvr::regular_file_in_folder(nvr::devpath::kTmp, file_name);
  if (upload && access(upload->c_str(), R_OK) != 0) return std::nullopt;
  return upload;
}

}  // namespace

void on_get_audio_file_list(char*) {
  nvr::ask_or_answer(on_audio_ipc_callback, kReqAudioFileList, nullptr, 0, nvr::Silence::kJson);
}

// The request data is the path of the upload in "/tmp", under its safe name.
// Only that one file is renamed or removed, never other uploads waiting in
// "/tmp".
void on_upload_audio_file(char* data) {
  const char* path = data ? data : "";
  const std::string name =
      nvr::name_in_device_folder(nvr::dev_path(nvr::devpath::kTmp), path).value_or("");
  const char* file_name = name.c_str();
  char encoded[kAudioNameSize] = "";
  int32_t status = -1;
  if (std::optional<std::string> upload = readable_upload(file_name)) {
    // Audio uploads are WAV files: ".wav" or ".WAV" in the name.
    if (strstr(file_name, ".wav") == nullptr && strstr(file_name, ".WAV") == nullptr) {
      remove(upload->c_str());
      CGI_LOG("dovrin upload_audio_file ret:[%d], pData:[%s], name:[%s]", status, path, encoded);
    } else if (move_to_encoded_name(*upload, file_name, encoded)) {
      status = 0;
    } else {
      // The upload is removed when it cannot take its encoded name.
      encoded[0] = '\0';
      web_system(nvr::ShellCommand("/bin/rm -f %s", {*upload}));
    }
  }
  on_cgi_common_text_cb(1, status, encoded);
}

void on_add_audio_file(char* data) {
  nvr::Json request = nvr::parse_request(data);
  const char* upload_name = nvr::json_string(request.get(), "uploadName");
  char encoded[kAudioNameSize];
  // Only a plain file name (readable_upload refuses any other): the upload must
  // not be taken from outside "/tmp".
  std::optional<std::string> upload = upload_name ? readable_upload(upload_name) : std::nullopt;
  if (!upload || !move_to_encoded_name(*upload, nvr::json_string(request.get(), "name"), encoded))
    return nvr::answer_failure(kRespJson);
  ask_and_log_change(kReqAudioFileAdd, encoded, sizeof encoded);
}

void on_del_audio_files(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t id_mask = 0;
  if (!nvr::json_read_int(request.get(), "idMask", &id_mask) || (id_mask & kAudioFileIdMask) == 0)
    return nvr::answer_failure(kRespJson);
  ask_and_log_change(kReqAudioFileDelete, &id_mask, sizeof id_mask);
}

void on_rename_audio_file(char* data) {
  nvr::Json request = nvr::parse_request(data);
  AlarmAudioFile record{};
  record.enable = 1;
  if (!request || !encode_name(nvr::json_string(request.get(), "name"), record.name))
    return nvr::answer_failure(kRespJson);
  nvr::json_read_int(request.get(), "id", &record.id);
  ask_and_log_change(kReqAudioFileRename, &record, sizeof record);
}

void on_send_audio_file_id(char* data) {
  nvr::Json request = nvr::parse_request_or_error(data, kRespJson);
  if (!request) return;
  int32_t id = 0;
  nvr::json_read_int(request.get(), "id", &id);
  nvr::ask_or_answer(on_audio_ipc_callback, kReqAudioFileSelect, id, nvr::Silence::kJson);
}
