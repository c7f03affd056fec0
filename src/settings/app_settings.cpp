#include "settings/app_settings.h"

settings::AppSettingsRecord AppSettings;
