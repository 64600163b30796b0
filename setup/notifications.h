#pragma once
#include "lib/strings.h"

namespace setup {

// Queues an HTTP request to the notification worker and returns at once; an empty address is
// ignored. post: send the problem report (with FailureSummary) as a form post.
void QueueNotification(const vk::Streng& address, bool post);

// Exit step: a stop request behind the pending ones, then the worker is waited for.
void StopNotificationWorker();

}  // namespace setup
