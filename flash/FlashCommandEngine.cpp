#include "flash/FlashCommandEngine.h"

#include "platform/Notifier.h"

namespace harmoload {

FlashCommandEngine::FlashCommandEngine(Notifier& notifier, Clock& clock)
    : notifier_(&notifier), clock_(clock) {
    link_.setNotifier(&notifier);
    link_.setClock(clock);
}

void FlashCommandEngine::setNotifier(Notifier& notifier) {
    notifier_ = &notifier;
    link_.setNotifier(&notifier);
}

bool FlashCommandEngine::run(const std::string& /*dataPath*/) {
    // This build cannot program flash yet: the pair fails, it never passes unwritten.
    notifier_->showMessage({kApplicationTitle,
                            "This version of Harmoload cannot write flash-command pairs yet",
                            MessageButtons::Ok, MessageIcon::None});
    return false;
}

}  // namespace harmoload
