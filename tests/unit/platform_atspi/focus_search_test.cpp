#include "platform/linux/atspi/focus_search.h"

#include <QHash>
#include <QStringList>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::platform;

namespace {

struct NamedHandle final : ElementHandle {
    explicit NamedHandle(QString n) : name(std::move(n)) {}
    bool sameElement(const ElementHandle& other) const override {
        const auto* named = dynamic_cast<const NamedHandle*>(&other);
        return named && named->name == name;
    }
    QString name;
};

AccessibleElement node(const QString& name) {
    return AccessibleElement(std::make_shared<NamedHandle>(name));
}

QString nameOf(const AccessibleElement& element) {
    const auto* named = element.as<NamedHandle>();
    return named ? named->name : QString();
}

// A window's tree from lines "name<parent flags", joined by ';': f focused, t text, m manages its
// descendants, u says nothing of its states. With `toolkitSearch`, the toolkit finds focused nodes
// itself.
class ScriptedTree final : public FocusTree {
public:
    ScriptedTree(const char* lines, bool toolkitSearch) : m_toolkitSearch(toolkitSearch) {
        for (const QString& line : QString::fromLatin1(lines).split(u';')) {
            const QStringList parts = line.split(u' ');
            const QStringList names = parts[0].split(u'<');
            m_children[names[1]].append(names[0]);
            m_flags[names[0]] = parts.value(1);
        }
    }

    std::optional<States> states(const AccessibleElement& element) override {
        const QString flags = m_flags.value(nameOf(element));
        if (flags.contains(u'u'))
            return std::nullopt;
        return States{flags.contains(u'f'), flags.contains(u'm')};
    }
    bool hasText(const AccessibleElement& element) override {
        return m_flags.value(nameOf(element)).contains(u't');
    }
    QList<AccessibleElement> children(const AccessibleElement& element) override {
        QList<AccessibleElement> result;
        for (const QString& name : m_children.value(nameOf(element)))
            result.append(node(name));
        return result;
    }
    // The first focused node below `scope`, depth first, as toolkits order their trees.
    AccessibleElement firstFocusedWithin(const AccessibleElement& scope) override {
        if (!m_toolkitSearch)
            return {};
        for (const QString& name : m_children.value(nameOf(scope))) {
            if (m_flags.value(name).contains(u'f'))
                return node(name);
            if (AccessibleElement inner = firstFocusedWithin(node(name)))
                return inner;
        }
        return {};
    }

private:
    bool m_toolkitSearch;
    QHash<QString, QStringList> m_children;
    QHash<QString, QString> m_flags;
};

} // namespace

TEST(FocusSearch, FindsTheFocusedNodeWithTextInsideTheWindow) {
    const struct {
        const char* what;
        bool toolkitSearch;
        const char* tree;
        const char* found; // empty: none
    } cases[] = {
        {"the toolkit's search, followed inwards to the text", true,
         "A<window f;B<A ft;C<window ft", "B"},
        {"the walk enters a focused node before the rest of the window", false,
         "P<window;Tp<P ft;F<window f;G<F;Tf<G ft", "Tf"},
        {"nodes that manage their descendants are not entered", false, "L<window fm;T<L ft", "L"},
        {"without text, the innermost focused node", false, "F1<window f;F2<F1 f;X<F2", "F2"},
        {"a node that says nothing of its states is passed over with its children", false,
         "U<window u;T<U ft", ""},
    };
    for (const auto& c : cases) {
        ScriptedTree tree(c.tree, c.toolkitSearch);
        EXPECT_EQ(nameOf(FocusSearch::focusedInWindow(tree, node(QStringLiteral("window")))),
                  QString::fromLatin1(c.found))
            << c.what;
    }
}
