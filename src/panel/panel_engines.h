#pragma once

#include "engines/engine_types.h"
#include "settings/catalogues.h"
#include "support/cancellation.h"

#include <QString>
#include <memory>
#include <qcoro/qcorotask.h>

namespace ovra {

class TranslationCoordinator;

// One conversation about one selection, as the panel uses it.
class PanelChat {
public:
    virtual ~PanelChat() = default;
    // The answer, trimmed, handed to `progress` as it is written when it is; CancelledError when
    // `token` is cancelled, an ovra::Error otherwise.
    virtual QCoro::Task<QString> ask(QString question, CancelToken token,
                                     TextProgress progress) = 0;
};

// Everything the panel asks of the engines, behind one seam so that the view model can be run
// against scripted engines. Failures are thrown as from the engine router; an answer written as
// it goes is handed to `progress` on the way.
class PanelEngines {
public:
    virtual ~PanelEngines() = default;

    virtual QCoro::Task<EngineOutcome> translate(QString text, TargetLanguage target,
                                                 CancelToken token, TextProgress progress) = 0;
    virtual QCoro::Task<EngineOutcome> reformulate(QString text, CancelToken token,
                                                   TextProgress progress) = 0;
    virtual QCoro::Task<EngineOutcome> runAction(AIActionKind kind, QString text, CancelToken token,
                                                 TextProgress progress) = 0;
    // A new conversation about `selection`; whether it answers online is decided now.
    virtual std::shared_ptr<PanelChat> makeChat(QString selection) = 0;
    // The on-device translation sessions of this panel, hosted by the panel's view.
    virtual TranslationCoordinator& translationCoordinator() = 0;
};

} // namespace ovra
