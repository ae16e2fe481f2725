#include "support/posted_events.h"

#include <QMetaObject>
#include <QObject>
#include <QTest>
#include <memory>

bool WaitForEventsPostedBefore(QObject* receiver, int timeoutMs) {
    // Shared, so that a marker delivered after a timeout writes nothing that is gone.
    auto delivered = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        receiver, [delivered] { *delivered = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&] { return *delivered; }, timeoutMs);
}
