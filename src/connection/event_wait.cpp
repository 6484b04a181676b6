#include "event_wait.h"

#include <QEventLoop>
#include <QTimer>

namespace kovrel {

bool WaitWhileProcessingEvents(const std::function<bool()>& done, std::chrono::milliseconds deadline)
{
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(std::chrono::milliseconds(1));
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer expiry;
    expiry.setSingleShot(true);
    QObject::connect(&expiry, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start();
    expiry.start(deadline);
    loop.exec();
    return done();
}

} // namespace kovrel
