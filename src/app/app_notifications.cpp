#include "app/app_notifications.h"

namespace ovra {

AppNotifications& AppNotifications::shared() {
    static AppNotifications instance;
    return instance;
}

} // namespace ovra
