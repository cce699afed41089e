#pragma once
// Waiting for another program's lock on the database without freezing the
// window: a busy cursor and a notice the operator can give up from, and when
// the wait has lasted the connection's whole lock wait, the choice to wait
// again or give up.

#include <functional>

#include <QString>

class QWidget;

namespace store {
class DbConnection;
}

namespace lockwait {

enum class Outcome {
    Finished,  // the attempt ran without being kept out by a lock (it may still have failed otherwise)
    GaveUp,    // the operator gave up while the lock was still held
};

// How long one attempt waits for the lock before the window is served again.
constexpr int kPollMs = 100;

// Runs `attempt`, which returns true when another program's lock kept it
// out and it changed nothing, again and again until it is not kept out.
// The first attempt waits kPollMs; while the lock stays, the window shows a
// busy cursor and a notice over `window` naming the file, with a button to
// give up. After the connection's lock wait has passed, a message box asks
// whether to wait again (Retry) or give up (Cancel). The connection's lock
// wait is the same afterwards as before.
Outcome RunWaiting(store::DbConnection& connection, QWidget* window, const std::function<bool()>& attempt);

// The notice's object name, for tests that press its button.
inline const char* kNoticeName = "LockWaitNotice";

}  // namespace lockwait
