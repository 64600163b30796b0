#include "setup/notifications.h"

namespace setup {

// There is no notification worker yet: nothing is queued, so there is nothing to stop.
void QueueNotification(const vk::Streng& address, bool post) {}

void StopNotificationWorker() {}

}  // namespace setup
