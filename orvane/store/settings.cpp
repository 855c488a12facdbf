#include "settings.h"

#include <QVariant>

#include "app_config.h"
#include "app_paths.h"
#include "app_values.h"
#include "key_value_store.h"

QStringList SettingsKeys() {
    return {"settings_stayontop",   "settings_exit_onclose",   "settings_cache_path",
            "settings_speed_limit", "settings_download_speed", "settings_upload_speed",
            "settings_linked_type", "settings_pause_onclick",  "settings_pause_min",
            "settings_auto_resize", "settings_start_lastpos"};
}

void SetDefaultSettings() {
    SetAppValue("settings_stayontop", false);
    SetAppValue("settings_exit_onclose", false);
    SetAppValue("settings_cache_path", DefaultCacheFolderPath());
    SetAppValue("settings_speed_limit", false);
    SetAppValue("settings_download_speed", 1024);
    SetAppValue("settings_upload_speed", 1024);
    SetAppValue("settings_linked_type", QString());
    SetAppValue("settings_pause_onclick", true);
    SetAppValue("settings_pause_min", true);
    SetAppValue("settings_auto_resize", false);
    SetAppValue("settings_start_lastpos", true);
}

void LoadStoredSettings() {
    for (const QString& key : SettingsKeys())
        if (DbContains(key)) SetAppValue(key, DbValue(key));
}

void StoreSettings() {
    // One write of the store, not one for each key: a save does not wait for eleven syncs.
    QList<QPair<QString, QVariant>> values;
    for (const QString& key : SettingsKeys()) values.append({key, AppValue(key)});
    DbSetValues(values);
}
