// Each host call as it comes, seen by the process's watch before it is
// served: this test program is Nimbrel.exe, and its calls go through the
// plug-in's own forwarders, bound by name.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "host/nrvmp_record.h"
#include "standin/host/host_call_watch.h"
#include "standin/host/host_exports.h"
#include "standin/host/host_session.h"

namespace {

using nimbrel::HostFunctionId;

// Notes each call as "name(arguments)", pointers as "p" or "null"; admits
// calls as told, and answers the pointer it is given in place of every one.
class RecordingWatch : public nimbrel::HostCallWatch {
public:
    bool admits = true;
    const void* answerWith = nullptr;
    std::vector<std::string> calls;

    bool admit(const nimbrel::HostCall& call) override {
        std::string text = nimbrel::hostCallContract(call.function).name + std::string("(");
        for (std::size_t i = 0; i < call.count; ++i) {
            const nimbrel::HostArgument& a = call.arguments[i];
            text += i > 0 ? ", " : "";
            text += a.pointer != nullptr ? "p" : a.real != 0 ? std::to_string(a.real) : std::to_string(a.integer);
        }
        calls.push_back(text + ")");
        return admits;
    }
    const void* answer(HostFunctionId, const void* result) override { return answerWith ? answerWith : result; }
};

struct WatchedCall {
    const char* seen;  // as the watch notes it
    std::function<void()> call;
};

class HostCallWatch : public ::testing::Test {
protected:
    HostCallWatch() : session_(workspace_) {
        workspace_.documents.push_back({kelvane::kDocumentVMR, "a.vmr", std::nullopt, false});
        workspace_.parameters["MinP"] = nimbrel::Parameter::ofFloat(0.5f);
        EXPECT_TRUE(kelvane::bindHostFunctions());
        nimbrel::watchHostCalls(&watch_);
    }
    ~HostCallWatch() override { nimbrel::watchHostCalls(nullptr); }

    nimbrel::Workspace workspace_;
    nimbrel::HostSession session_;
    RecordingWatch watch_;
};

TEST_F(HostCallWatch, SeesEveryCallWithItsArgumentsBeforeItIsServed) {
    kelvane::NRVMPRecord record{};
    char text[kelvane::kStringParameterSize];
    const std::vector<WatchedCall> calls = {
        {"nbLogText(p)", [] { kelvane::nbLogText("line"); }},
        {"nbGetFloatParameter(p)", [] { kelvane::nbGetFloatParameter("MinP"); }},
        {"nbGetNRVMPOfCurrentVMR(7, p)", [&record] { kelvane::nbGetNRVMPOfCurrentVMR(7, &record); }},
        {"nbGetStringParameter(p, p)", [&text] { kelvane::nbGetStringParameter("Overlay", text); }},
        {"nbSetFloatParameter(p, 2.500000)", [] { kelvane::nbSetFloatParameter("MinP", 2.5f); }},
        {"nbShowLogTab()", [] { kelvane::nbShowLogTab(); }},
        {"nbLogText(0)", [] { kelvane::nbLogText(nullptr); }},
    };
    for (const WatchedCall& c : calls) {
        watch_.calls.clear();
        c.call();
        EXPECT_EQ(watch_.calls, std::vector<std::string>{c.seen});
    }
    EXPECT_EQ(session_.logLines(), (std::vector<std::string>{"line", "(null)"}));
}

TEST_F(HostCallWatch, ACallNotAdmittedIsAnsweredWithZeroAndNotServed) {
    watch_.admits = false;
    kelvane::nbLogText("line");
    EXPECT_EQ(kelvane::nbGetFloatParameter("MinP"), 0.0f);
    EXPECT_EQ(kelvane::nbGetIDOfCurrentDocument(), 0);
    EXPECT_EQ(kelvane::nbGetDocumentTypeName(0), nullptr);
    EXPECT_TRUE(session_.calls().empty());
    EXPECT_TRUE(session_.events().empty());
}

TEST_F(HostCallWatch, AnswersPointersWithTheWatchsOwnAndValuesAsServed) {
    static const char kOwn[] = "own";
    watch_.answerWith = kOwn;
    EXPECT_EQ(kelvane::nbGetDocumentTypeName(0), kOwn);
    EXPECT_EQ(kelvane::nbGetFloatParameter("MinP"), 0.5f);
    EXPECT_EQ(kelvane::nbGetIDOfCurrentDocument(), -1);
}

// One list drives both tables: each function's contract sits at its export's
// place, and states the sizes the stand-in serves by.
TEST(HostCallContracts, FollowTheListOfExports) {
    const auto& exported = nimbrel::exportedHostFunctions();
    ASSERT_EQ(nimbrel::hostCallContracts().size(), exported.size());
    for (std::size_t i = 0; i < exported.size(); ++i) EXPECT_EQ(nimbrel::hostCallContracts()[i].name, exported[i].name);
    EXPECT_EQ(nimbrel::statedBytes(HostFunctionId::nbGetStringParameter, 1), kelvane::kStringParameterSize);
    EXPECT_EQ(nimbrel::statedBytes(HostFunctionId::nbGetNRVMPOfCurrentVMR, 1), sizeof(kelvane::NRVMPRecord));
}

}  // namespace
