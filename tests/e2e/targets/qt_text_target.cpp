// A Qt window with a one-line edit (full: it takes no more characters) and a multi-line text edit
// holding known text, for the end-to-end tests. Usage: qt_text_target TITLE STATE_FILE
// Every change of the text edit's text is written to STATE_FILE, so the tests can check a write
// without going through the accessibility bus they are testing.
#include <QApplication>
#include <QLineEdit>
#include <QSaveFile>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace {

void saveState(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(text.toUtf8());
    file.commit();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3)
        return 2;
    const QString statePath = arguments.at(2);

    QWidget window;
    window.setWindowTitle(arguments.at(1));
    auto* layout = new QVBoxLayout(&window);
    auto* line = new QLineEdit(QStringLiteral("Linha: um dois três"));
    line->setMaxLength(int(line->text().size())); // full: a longer write cannot all go in
    auto* text = new QTextEdit;
    text->setPlainText(
        QStringLiteral("Olá café 😀 naïve text here.\nSegunda linha com a palavra ALVO aqui."));
    layout->addWidget(line);
    layout->addWidget(text);
    QObject::connect(text, &QTextEdit::textChanged, text,
                     [text, statePath] { saveState(statePath, text->toPlainText()); });
    window.resize(520, 320);
    window.move(660, 100);
    window.show();
    text->setFocus();
    saveState(statePath, text->toPlainText());
    return app.exec();
}
