#pragma once
// The main loop never waits: each turn handles one pending message or, when none is
// pending, runs the idle action once. It ends on the turn that takes the quit
// message, which is still translated and dispatched.
//
// A message source offers: bool Peek(Message*), bool IsQuit(const Message&),
// void Translate(const Message&), void Dispatch(const Message&).

template <class MessageSource, class IdleAction>
void RunMessageLoop(MessageSource& source, IdleAction&& idle) {
    typename MessageSource::Message msg{};
    bool bDone = false;
    while (!bDone) {
        if (source.Peek(&msg)) {
            if (source.IsQuit(msg)) {
                bDone = true;
            }
            source.Translate(msg);
            source.Dispatch(msg);
        } else {
            idle();
        }
    }
}
