#pragma once
// For checks that something posted must not have happened: instead of waiting a while, post a
// marker behind it and wait for the marker. Posted events of one thread arrive in the order they
// were posted, so once the marker has arrived, everything posted before it has been delivered
// (or dropped with its receiver).
class QObject;

// Waits until a marker posted to `receiver` now has been delivered; false after `timeoutMs`.
bool WaitForEventsPostedBefore(QObject* receiver, int timeoutMs = 5000);
