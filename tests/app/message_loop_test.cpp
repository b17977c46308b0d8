#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/message_loop.h"

namespace {

// Messages arrive as scripted: "idle" stands for a turn with nothing pending.
struct ScriptedMessages {
    using Message = std::string;
    std::deque<std::string> script;
    std::vector<std::string>* journal;

    bool Peek(Message* msg) {
        if (script.empty()) {
            ADD_FAILURE() << "the loop asked for a message after the script ended";
            *msg = "quit";
            return true;
        }
        const std::string next = script.front();
        script.pop_front();
        if (next == "idle") {
            return false;
        }
        *msg = next;
        return true;
    }
    bool IsQuit(const Message& msg) { return msg == "quit"; }
    void Translate(const Message& msg) { journal->push_back("translate " + msg); }
    void Dispatch(const Message& msg) { journal->push_back("dispatch " + msg); }
};

std::vector<std::string> RunScript(std::deque<std::string> script) {
    std::vector<std::string> journal;
    ScriptedMessages source{std::move(script), &journal};
    RunMessageLoop(source, [&] { journal.push_back("frame"); });
    EXPECT_TRUE(source.script.empty()) << "the loop stopped before the script ended";
    return journal;
}

TEST(MessageLoop, OneFramePerIdleTurnAndEveryMessageBeforeTheNextFrame) {
    const auto journal = RunScript({"idle", "idle", "size", "paint", "idle", "quit"});
    const std::vector<std::string> expected = {
        "frame",          "frame", "translate size", "dispatch size", "translate paint",
        "dispatch paint", "frame", "translate quit", "dispatch quit",
    };
    EXPECT_EQ(journal, expected);
}

TEST(MessageLoop, QuitIsTranslatedAndDispatchedAndNoFrameFollows) {
    const auto journal = RunScript({"quit"});
    const std::vector<std::string> expected = {"translate quit", "dispatch quit"};
    EXPECT_EQ(journal, expected);
}

}  // namespace
