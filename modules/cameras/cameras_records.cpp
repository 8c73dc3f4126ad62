// Named access to the camera module's settings records.
#include "modules/cameras/cameras_records.h"

#include <cstdio>

int read_camera(const char* path, CameraRecord* record, int32_t channel) {
  return db_read(path, kCameraRecord, record, channel);
}
int write_camera(const char* path, const CameraRecord* record) {
  return db_write(path, kCameraRecord, record);
}
int read_osd(const char* path, OsdRecord* record, int32_t channel) {
  return db_read(path, kOsdRecord, record, channel);
}
int write_osd(const char* path, const OsdRecord* record) {
  return db_write(path, kOsdRecord, record);
}
void read_osd_name(const char* path, char* buffer, size_t size, int32_t channel) {
  OsdRecord osd{};
  if (read_osd(path, &osd, channel) != 0 || osd.name[0] == '\0')
    snprintf(osd.name, sizeof osd.name, "CAM%d", channel + 1);
  snprintf(buffer, size, "%.*s", static_cast<int>(sizeof osd.name), osd.name);
}
int read_ipc_protocols(const char* path, IpcProtocol* array, int max, int* count) {
  return db_read_all(path, kIpcProtocolRecord, array, max, count);
}
int write_ipc_protocol(const char* path, const IpcProtocol* record) {
  return db_write(path, kIpcProtocolRecord, record);
}
int read_ipc_models_by_protocol(const char* path, IpcModel* array, int max, int* count,
                                int32_t protocol) {
  const DbMatch match[] = {{"protocol", protocol}};
  return db_read_rows(path, kIpcModelRecord, array, max, count, match);
}
int read_ipc_model(const char* path, IpcModel* record, int32_t id) {
  return db_read(path, kIpcModelRecord, record, id);
}
int read_privacy_mask(const char* path, PrivacyMask* record, int32_t channel) {
  return db_read(path, kPrivacyMaskRecord, record, channel);
}
int write_privacy_mask(const char* path, const PrivacyMask* record) {
  return db_write(path, kPrivacyMaskRecord, record);
}
int read_exposure(const char* path, ExposureEntry* list, int32_t channel, int* count) {
  const DbMatch match[] = {{"chnid", channel}};
  return db_read_rows(path, kExposureRecord, list, kMaxExposureEntries, count, match);
}
int write_exposure(const char* path, const ExposureEntry* list, int32_t channel, int count) {
  const DbMatch match[] = {{"chnid", channel}};
  return db_replace_rows(path, kExposureRecord, match, list, count);
}
