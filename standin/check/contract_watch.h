#pragma once
// The check's host holds every call of a host function to its contract as
// it comes (host/host_call_contract.h, and each function's own in
// host_call_contracts.h): made on the host's thread, while a call of the host
// into the plug-in runs; each text, buffer and parameter name where the
// contract says one goes; a getter reading a parameter the dialog script
// declares, of the getter's type. The first breach is written to the channel
// at once, from whichever thread made the call, and fails the check that is
// running; a call off the host's thread or outside a call is not served.
// What the host hands out lasts as its contract says (handed_out_texts.h).

#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "standin/files/dialog_script.h"
#include "standin/host/host_call_watch.h"

namespace nimbrel::check {

class CheckChannel;

class ContractWatch final : public HostCallWatch {
public:
    // The process's one watch, made on the host's thread and set as the
    // process's; it lasts as long as the process (a late call may come at exit).
    static ContractWatch& install(CheckChannel& channel);

    // A call of the host into the plug-in ("execute (case)") begins; it has
    // returned, and a late call is put down to after (the last execute, or the
    // last call of any kind before the first execute).
    void entering(const std::string& call);
    void returned(const std::string& after);
    // The dialog script the getters' calls are held to, by its file name.
    void compareWithDialog(const DialogScript& script, const std::string& scriptName);
    // The first breach of the contract, once one was seen.
    std::optional<std::string> breach() const;
    // Forgets the breach seen, for the next check run in the same process (--in-process).
    void forgetBreach();

    bool admit(const HostCall& call) override;
    const void* answer(HostFunctionId function, const void* result) override;

private:
    explicit ContractWatch(CheckChannel& channel);
    void breached(const std::string& reason);
    // The argument checks of the function's own contract; false on a breach.
    bool argumentsKept(const HostCall& call);
    void compareGetter(const HostCallContract& contract, kelvane::contract::Getter getter, const char* name);

    CheckChannel& channel_;
    const std::thread::id hostThread_;
    const unsigned long long hostThreadNumber_;
    mutable std::mutex mutex_;
    std::string inCall_;  // the call running now, empty between calls; changed on the host's thread only
    std::string after_;
    std::optional<DialogScript> dialog_;
    std::string scriptName_;
    std::optional<std::string> breach_;
};

}  // namespace nimbrel::check
