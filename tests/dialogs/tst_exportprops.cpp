#include "dialogs/ExportPropsDialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace glyfrax;

namespace {

ExportOptions stored()
{
    ExportOptions options;
    options.CharTxt = QStringLiteral("Char");
    options.XTxt = QStringLiteral(": X");
    options.YTxt = QStringLiteral("Y");
    options.WTxt = QStringLiteral("W");
    options.HTxt = QStringLiteral("H");
    options.XDist = 0;
    options.YDist = 3;
    return options;
}

template <typename T> T* child(QWidget* dialog, const char* name)
{
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class TestExportProps : public QObject
{
    Q_OBJECT

private slots:
    void loadsTheStoredOptions_data();
    void loadsTheStoredOptions();
    void scrollingChangesTheCaptionOnly();
    void okStoresExactlyWhatIsShown();
    void cancelAndEscapeStoreNothing();
    void gapsAboveTheRangeOpenClamped();
    void tabOrderFollowsTheRows();
};

void TestExportProps::loadsTheStoredOptions_data()
{
    QTest::addColumn<bool>("binary");
    QTest::addColumn<bool>("wide");
    QTest::addRow("text, 16 bits") << false << false;
    QTest::addRow("binary, 32 bits") << true << true;
}

void TestExportProps::loadsTheStoredOptions()
{
    QFETCH(bool, binary);
    QFETCH(bool, wide);
    ExportOptions options = stored();
    options.WriteBinary = binary;
    options.TakeLong = wide;
    ExportPropsDialog dialog(options);
    QCOMPARE(dialog.objectName(), QStringLiteral("ExportProps"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Exporteinstellungen"));
    QCOMPARE(child<QRadioButton>(&dialog, "BinaryOpt")->isChecked(), binary);
    QCOMPARE(child<QRadioButton>(&dialog, "CharOpt")->isChecked(), !binary);
    QCOMPARE(child<QGroupBox>(&dialog, "BinFrame")->isHidden(), !binary);
    QCOMPARE(child<QGroupBox>(&dialog, "ShowFrame")->isHidden(), binary);
    QCOMPARE(child<QRadioButton>(&dialog, "LongOpt")->isChecked(), wide);
    QCOMPARE(child<QRadioButton>(&dialog, "IntOpt")->isChecked(), !wide);
    QCOMPARE(child<QLineEdit>(&dialog, "XText")->text(), QStringLiteral(": X"));
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), QStringLiteral("X: 0"));
    QCOMPARE(child<QLabel>(&dialog, "YLabel")->text(), QStringLiteral("Y: 3"));
    QCOMPARE(dialog.shownOptions(), options);
}

void TestExportProps::scrollingChangesTheCaptionOnly()
{
    ExportPropsDialog dialog(stored());
    QSignalSpy confirmed(&dialog, &ExportPropsDialog::optionsConfirmed);
    auto* bar = child<QScrollBar>(&dialog, "XScroll");
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), QStringLiteral("X: 1"));
    bar->setSliderDown(true);
    bar->setSliderPosition(7); // dragging
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), QStringLiteral("X: 7"));
    bar->setSliderDown(false);
    QCOMPARE(bar->maximum(), 10);
    QCOMPARE(confirmed.count(), 0);
}

void TestExportProps::okStoresExactlyWhatIsShown()
{
    ExportPropsDialog dialog(stored());
    QSignalSpy confirmed(&dialog, &ExportPropsDialog::optionsConfirmed);
    QTest::mouseClick(child<QRadioButton>(&dialog, "BinaryOpt"), Qt::LeftButton);
    QVERIFY(child<QGroupBox>(&dialog, "ShowFrame")->isHidden());
    QVERIFY(!child<QGroupBox>(&dialog, "BinFrame")->isHidden());
    child<QLineEdit>(&dialog, "YText")->setText(QStringLiteral(" Y "));
    child<QLineEdit>(&dialog, "HText")->clear();
    child<QScrollBar>(&dialog, "YScroll")->setValue(10);
    child<QPushButton>(&dialog, "OKButton")->click();

    QCOMPARE(confirmed.count(), 1);
    ExportOptions expected = stored();
    expected.WriteBinary = true;
    expected.YTxt = QStringLiteral(" Y ");
    expected.HTxt = QString();
    expected.YDist = 10;
    QCOMPARE(confirmed.first().first().value<ExportOptions>(), expected);
    QVERIFY(!dialog.isVisible());
}

void TestExportProps::cancelAndEscapeStoreNothing()
{
    for (bool escape : {false, true}) {
        auto* dialog = new ExportPropsDialog(stored());
        QPointer<ExportPropsDialog> alive = dialog;
        QSignalSpy confirmed(dialog, &ExportPropsDialog::optionsConfirmed);
        dialog->show();
        child<QLineEdit>(dialog, "CharText")->setText(QStringLiteral("edited"));
        if (escape)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            child<QPushButton>(dialog, "CancelButton")->click();
        QCOMPARE(confirmed.count(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive); // deleted on closing, so the next opening starts afresh
    }
}

void TestExportProps::gapsAboveTheRangeOpenClamped()
{
    ExportOptions options = stored();
    options.XDist = 25;
    ExportPropsDialog dialog(options);
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), QStringLiteral("X: 10"));
    QCOMPARE(dialog.shownOptions().XDist, 10);
}

void TestExportProps::tabOrderFollowsTheRows()
{
    ExportPropsDialog dialog(stored());
    dialog.show();
    QStringList order;
    QWidget* widget = child<QPushButton>(&dialog, "OKButton");
    for (int i = 0; i < 11; ++i, widget = widget->nextInFocusChain()) {
        while (widget->focusPolicy() == Qt::NoFocus)
            widget = widget->nextInFocusChain();
        order << widget->objectName();
    }
    QCOMPARE(order, (QStringList{QStringLiteral("OKButton"), QStringLiteral("CancelButton"),
                                 QStringLiteral("BinaryOpt"), QStringLiteral("CharOpt"), QStringLiteral("CharText"),
                                 QStringLiteral("XText"), QStringLiteral("YText"), QStringLiteral("WText"),
                                 QStringLiteral("HText"), QStringLiteral("LongOpt"), QStringLiteral("IntOpt")}));
}

QTEST_MAIN(TestExportProps)
#include "tst_exportprops.moc"
