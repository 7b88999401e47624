// The window's texts as the Qt face needs them: the boxes' caption with Qt's case mapping,
// the dialog's filter in Qt's syntax, the label line break and the path handed to the
// loader. The rules themselves are the window's (tests/window).
#include <QtTest>

#include "ui/qt/qt_texts.h"

using namespace quenfall::ui;

class WindowTextsTest : public QObject {
    Q_OBJECT
private slots:
    void applicationTitleIsTheNameUpToItsFirstFullStop() {
        QCOMPARE(ApplicationTitle(QStringLiteral("QUENFALL.EXE")), QStringLiteral("Quenfall"));
        QCOMPARE(ApplicationTitle(QStringLiteral("quenfall")), QStringLiteral("quenfall"));
        QCOMPARE(ApplicationTitle(QStringLiteral("Quen.Fall.exe")), QStringLiteral("Quen"));
        QCOMPARE(ApplicationTitle(QStringLiteral("QF_Tool-V7.1.exe")), QStringLiteral("Qf_tool-v7"));
        QCOMPARE(ApplicationTitle(QStringLiteral(".hidden")), QString());
        QCOMPARE(ApplicationTitle(QStringLiteral("\u00c4RGER.exe")), QStringLiteral("\u00c4rger"));
    }

    void defaultErrorTextOnAQString() {
        QCOMPARE(DefaultErrorText(QStringLiteral("Cannot open file")), QStringLiteral("Cannot open file."));
        QCOMPARE(DefaultErrorText(QString()), QString());
    }

    void packageFilterBecomesOneQtEntry() {
        QCOMPARE(QtFileFilter(quenfall::window::PackageFilter()), QStringLiteral("Bin File (*.bin,*.boot) (*.bin *.boot)"));
        QCOMPARE(QtFileFilter(u"A|*.a|B (b)|*.b;*.c;"),
                 QStringLiteral("A (*.a);;B (b) (*.b *.c)"));
    }

    void carriageReturnBreaksTheLabelLine() {
        const QString shown = LabelDisplayText(ToQString(quenfall::window::Utf16(quenfall::window::Step2Text)));
        QCOMPARE(shown.count(u'\n'), 1);
        QVERIFY(!shown.contains(u'\r'));
        QCOMPARE(shown.section(u'\n', 1), QStringLiteral("            Or Press 'P1'+'Power' key of the mobile."));
        QCOMPARE(LabelDisplayText(QStringLiteral("a\r\nb\rc")), QStringLiteral("a\nb\nc"));
    }

    void pathReachesTheFileSystemUnconverted() {
        const QString name = QStringLiteral("/tmp/\u041f\u0440\u043e\u0448\u0438\u0432\u043a\u0430 \u00fc \u6d4b.bin");
        const std::filesystem::path path = FileSystemPath(name);
#ifdef _WIN32
        QCOMPARE(QString::fromStdWString(path.native()), name);
#else
        QCOMPARE(QByteArray::fromStdString(path.native()), name.toUtf8());
#endif
    }
};

QTEST_MAIN(WindowTextsTest)
#include "qt_texts_test.moc"
