#include "settings/quick_actions.h"

namespace ovra::QuickActions {

QString name(QuickAction action) {
    switch (action) {
    case QuickAction::translateReplace:
        return QStringLiteral("translate-replace");
    case QuickAction::rephraseReplace:
        return QStringLiteral("rephrase-replace");
    case QuickAction::reviewReplace:
        return QStringLiteral("review-replace");
    case QuickAction::translate:
        return QStringLiteral("translate");
    case QuickAction::summarize:
        return QStringLiteral("summarize");
    }
    return {};
}

std::optional<QuickAction> named(const QString& text) {
    for (const QuickAction action : quickActions) {
        if (name(action) == text)
            return action;
    }
    return std::nullopt;
}

QString titleKey(QuickAction action) {
    return QStringLiteral("actions.") + name(action);
}

bool replacesSelection(QuickAction action) {
    return action == QuickAction::translateReplace || action == QuickAction::rephraseReplace ||
           action == QuickAction::reviewReplace;
}

} // namespace ovra::QuickActions
