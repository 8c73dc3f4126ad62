// Names of the device log's type codes (see qvfs_trans.h).
#include "platform/qvfs_trans.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

enum Language { kEnglish = 0, kGerman = 1, kLanguageCount };

struct CodeName {
  int32_t code;
  const char* names[kLanguageCount];  // null: the English name is used
};

// clang-format off
constexpr CodeName kNames[] = {
    // Main types, by index.
    {1, {"All", "Alle"}},
    {2, {"Event", "Ereignis"}},
    {3, {"Operation", "Bedienung"}},
    {4, {"Information", "Information"}},
    {5, {"Exception", "Ausnahme"}},
    {6, {"Debug", "Diagnose"}},
    // Every sub type of a main type.
    {10, {"All", "Alle"}},
    // Events.
    {11, {"Motion detection", "Bewegungserkennung"}},
    {12, {"Video loss", "Videoverlust"}},
    {13, {"Alarm input", "Alarmeingang"}},
    {14, {"Camera alarm input", "Kamera-Alarmeingang"}},
    {15, {"Fire detection", "Branderkennung"}},
    {16, {"Temperature alarm", "Temperaturalarm"}},
    {17, {"Line crossing", "Linienüberschreitung"}},
    {18, {"Intrusion", "Eindringen"}},
    {19, {"Region entrance", "Bereichseintritt"}},
    {20, {"Region exit", "Bereichsaustritt"}},
    {21, {"Loitering", "Herumlungern"}},
    {22, {"People gathering", "Personenansammlung"}},
    {23, {"Fast moving", "Schnelle Bewegung"}},
    {24, {"Parking detection", "Parkerkennung"}},
    {25, {"Unattended object", "Zurückgelassenes Objekt"}},
    {26, {"Object removal", "Entferntes Objekt"}},
    {27, {"Face detection", "Gesichtserkennung"}},
    {28, {"License plate recognition", "Kennzeichenerkennung"}},
    {29, {"People counting", "Personenzählung"}},
    {30, {"Video tampering", "Sabotage"}},
    {31, {"Scene change", nullptr}},
    {32, {"Defocus", nullptr}},
    {33, {"Audio alarm", "Audioalarm"}},
    {34, {"Human detection", "Personenerkennung"}},
    {35, {"Vehicle detection", "Fahrzeugerkennung"}},
    {36, {"Crowd density", "Personendichte"}},
    {37, {"Smoke detection", "Raucherkennung"}},
    {38, {"Face match", "Gesicht erkannt"}},
    {39, {"Face mismatch", "Gesicht unbekannt"}},
    {40, {"Plate on allow list", "Kennzeichen zugelassen"}},
    {41, {"Plate on block list", "Kennzeichen gesperrt"}},
    {42, {"Regional people counting", "Bereichs-Personenzählung"}},
    {43, {"Heat map", "Heatmap"}},
    {44, {"Manual alarm", "Manueller Alarm"}},
    // Operations at the recorder itself.
    {101, {"Local: login", nullptr}},
    {102, {"Local: logout", nullptr}},
    {103, {"Local: restart", nullptr}},
    {104, {"Local: shutdown", nullptr}},
    {105, {"Local: upgrade", nullptr}},
    {106, {"Local: settings change", nullptr}},
    {107, {"Local: playback", nullptr}},
    {108, {"Local: backup", nullptr}},
    {109, {"Local: format disk", nullptr}},
    {110, {"Local: PTZ control", nullptr}},
    {111, {"Local: add camera", nullptr}},
    {112, {"Local: delete camera", nullptr}},
    {113, {"Local: export configuration", nullptr}},
    {114, {"Local: import configuration", nullptr}},
    {115, {"Local: restore defaults", nullptr}},
    {116, {"Local: start manual recording", nullptr}},
    {117, {"Local: stop manual recording", nullptr}},
    {118, {"Local: manual alarm output", nullptr}},
    {119, {"Local: clear alarm", nullptr}},
    {120, {"Local: snapshot", nullptr}},
    {121, {"Local: start live view", nullptr}},
    {122, {"Local: stop live view", nullptr}},
    {123, {"Local: add user", nullptr}},
    {124, {"Local: delete user", nullptr}},
    {125, {"Local: change password", nullptr}},
    {126, {"Local: set time", nullptr}},
    {127, {"Local: add network disk", nullptr}},
    {128, {"Local: delete network disk", nullptr}},
    {129, {"Local: create RAID", nullptr}},
    {130, {"Local: delete RAID", nullptr}},
    {131, {"Local: rebuild RAID", nullptr}},
    {132, {"Local: set hot spare", nullptr}},
    {133, {"Local: disk group", nullptr}},
    {134, {"Local: disk quota", nullptr}},
    {135, {"Local: lock channel", nullptr}},
    {136, {"Local: export video", nullptr}},
    {137, {"Local: export pictures", nullptr}},
    {138, {"Local: two-way audio", nullptr}},
    {139, {"Local: upgrade camera", nullptr}},
    {140, {"Local: restart camera", nullptr}},
    {141, {"Local: camera image", nullptr}},
    {142, {"Local: camera stream", nullptr}},
    {143, {"Local: lock screen", nullptr}},
    {144, {"Local: setup wizard", nullptr}},
    // Operations through the network (web pages, clients).
    {200, {"Remote: restart", "Fern: Neustart"}},
    {201, {"Remote: login", "Fern: Anmeldung"}},
    {202, {"Remote: logout", "Fern: Abmeldung"}},
    {203, {"Remote: upgrade", "Fern: Aktualisierung"}},
    {204, {"Remote: settings change", "Fern: Einstellungen geändert"}},
    {205, {"Remote: channel event", "Fern: Kanalereignis"}},
    {206, {"Remote: PTZ control", "Fern: PTZ-Steuerung"}},
    {207, {"Remote: format disk", "Fern: Festplatte formatieren"}},
    {208, {"Remote: live view", "Fern: Live-Ansicht"}},
    {209, {"Remote: download recording", "Fern: Aufnahme herunterladen"}},
    {210, {"Remote: add camera", "Fern: Kamera hinzufügen"}},
    {211, {"Remote: delete camera", "Fern: Kamera löschen"}},
    {212, {"Remote: camera stream", "Fern: Kamerastream"}},
    {213, {"Remote: export configuration", "Fern: Konfiguration exportieren"}},
    {214, {"Remote: import configuration", "Fern: Konfiguration importieren"}},
    {215, {"Remote: restore defaults", "Fern: Werkseinstellungen"}},
    {216, {"Remote: playback", "Fern: Wiedergabe"}},
    {217, {"Remote: camera image", "Fern: Kamerabild"}},
    {218, {"Remote: two-way audio", "Fern: Gegensprechen"}},
    {219, {"Remote: add network disk", "Fern: Netzlaufwerk hinzufügen"}},
    {220, {"Remote: delete network disk", "Fern: Netzlaufwerk löschen"}},
    {221, {"Remote: edit network disk", "Fern: Netzlaufwerk ändern"}},
    {222, {"Remote: manual recording", "Fern: Manuelle Aufnahme"}},
    {223, {"Remote: manual alarm", "Fern: Manueller Alarm"}},
    {224, {"Remote: snapshot", "Fern: Schnappschuss"}},
    {225, {"Remote: upgrade camera", "Fern: Kamera aktualisieren"}},
    {226, {"Remote: restart camera", "Fern: Kamera neu starten"}},
    {227, {"Remote: user channel event", "Fern: Benutzer-Kanalereignis"}},
    {228, {"Remote: shutdown", "Fern: Herunterfahren"}},
    // Exceptions.
    {400, {"Disk full", "Festplatte voll"}},
    {401, {"Disk error", "Festplattenfehler"}},
    {402, {"No disk", "Keine Festplatte"}},
    {403, {"Disk read/write failure", "Lese-/Schreibfehler"}},
    {404, {"Network disconnected", "Netzwerk getrennt"}},
    {405, {"Illegal access", "Unerlaubter Zugriff"}},
    {406, {"IP address conflict", "IP-Adresskonflikt"}},
    {407, {"Recording failure", "Aufnahmefehler"}},
    {408, {"Recording abnormal", nullptr}},
    {409, {"Camera disconnected", "Kamera getrennt"}},
    {410, {"Video signal abnormal", "Videosignal gestört"}},
    {411, {"Disk temperature high", "Festplattentemperatur hoch"}},
    {412, {"Fan failure", "Lüfterausfall"}},
    {413, {"RAID degraded", "RAID herabgestuft"}},
    // Information.
    {500, {"System start", "Systemstart"}},
    {501, {"System shutdown", "Herunterfahren"}},
    {502, {"Disk information", "Festplatteninformation"}},
    {503, {"Disk S.M.A.R.T.", "Festplatten-S.M.A.R.T."}},
    {504, {"Recording started", "Aufnahme gestartet"}},
    {505, {"Recording stopped", "Aufnahme beendet"}},
    {506, {"Network information", "Netzwerkinformation"}},
    {507, {"Schedule information", nullptr}},
    {508, {"Stream information", nullptr}},
    {509, {"Display information", nullptr}},
    {510, {"Audio information", nullptr}},
    {511, {"Camera online", "Kamera online"}},
    {512, {"Camera offline", "Kamera offline"}},
    {513, {"Time synchronised", "Zeit synchronisiert"}},
    {514, {"Disk added", "Festplatte hinzugefügt"}},
    {515, {"Disk removed", "Festplatte entfernt"}},
    {516, {"RAID rebuild started", "RAID-Wiederaufbau gestartet"}},
    {517, {"RAID rebuild finished", "RAID-Wiederaufbau beendet"}},
    {518, {"Network disk connected", "Netzlaufwerk verbunden"}},
    {519, {"Network disk disconnected", "Netzlaufwerk getrennt"}},
    {520, {"Backup finished", "Sicherung beendet"}},
    {521, {"Upgrade finished", "Aktualisierung beendet"}},
    // Debug.
    {600, {"Core service", "Kerndienst"}},
    {601, {"Web service", "Webdienst"}},
    {602, {"Stream service", "Streamdienst"}},
    {603, {"Storage service", "Speicherdienst"}},
    // Parameter types: which settings an operation changed.
    {900, {"None", "Keine"}},
    {901, {"Camera added", "Kamera hinzugefügt"}},
    {902, {"Camera deleted", "Kamera gelöscht"}},
    {903, {"Camera settings", "Kameraeinstellungen"}},
    {904, {"PTZ settings", "PTZ-Einstellungen"}},
    {905, {"Record mode", "Aufnahmemodus"}},
    {906, {"Record parameters", "Aufnahmeparameter"}},
    {907, {"Record schedule", "Aufnahmeplan"}},
    {908, {"Video loss", "Videoverlust"}},
    {909, {"Motion detection", "Bewegungserkennung"}},
    {910, {"Alarm input", "Alarmeingang"}},
    {911, {"Alarm output", "Alarmausgang"}},
    {912, {"Video analytics", "Videoanalyse"}},
    {913, {"General settings", "Allgemeine Einstellungen"}},
    {914, {"Network", "Netzwerk"}},
    {915, {"PPPoE", "PPPoE"}},
    {916, {"DDNS", "DDNS"}},
    {917, {"E-mail", "E-Mail"}},
    {918, {"Ports", "Ports"}},
    {919, {"Disk", "Festplatte"}},
    {920, {"Holidays", "Feiertage"}},
    {921, {"User account", "Benutzerkonto"}},
    {922, {"User deleted", "Benutzer gelöscht"}},
    {923, {"Camera alarm input", "Kamera-Alarmeingang"}},
    {924, {"Audio alarm", "Audioalarm"}},
    {925, {"Alarm audio file", "Alarm-Audiodatei"}},
};
// clang-format on

Language g_language = kEnglish;

// The language of a web page's language code or name: "de", "de-DE",
// "de_AT", "German", "Deutsch"; anything else is English.
Language language_of(const char* language) {
  if (language == nullptr) return kEnglish;
  std::string_view text(language);
  if (strcasecmp(language, "german") == 0 || strcasecmp(language, "deutsch") == 0) return kGerman;
  if (text.size() >= 2 && strncasecmp(language, "de", 2) == 0 &&
      (text.size() == 2 || text[2] == '-' || text[2] == '_'))
    return kGerman;
  return kEnglish;
}

}  // namespace

int32_t trans_init(const char* language) {
  g_language = language_of(language);
  return 0;
}

int32_t trans_get_value(int32_t code, char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return -1;
  buffer[0] = '\0';
  for (const CodeName& entry : kNames) {
    if (entry.code != code) continue;
    const char* name = entry.names[g_language] ? entry.names[g_language] : entry.names[kEnglish];
    snprintf(buffer, static_cast<size_t>(size), "%s", name);
    return 0;
  }
  return -1;
}

int32_t trans_deinit() {
  g_language = kEnglish;
  return 0;
}

int32_t log_channo_is_disk(int32_t main_type, int64_t sub_type) {
  switch (main_type) {
    case 4:  // format, network disks (the entry's channel is the disk's port)
      return sub_type == 109 || sub_type == 127 || sub_type == 128 || sub_type == 207 ||
             (sub_type >= 219 && sub_type <= 221);
    case 8:  // disk information, added or removed disks, network disks
      return sub_type == 502 || sub_type == 503 || sub_type == 514 || sub_type == 515 ||
             sub_type == 518 || sub_type == 519;
    case 32:  // full, failing or missing disks, their temperature, arrays
      return (sub_type >= 400 && sub_type <= 403) || sub_type == 411 || sub_type == 413;
    default:
      return 0;
  }
}
