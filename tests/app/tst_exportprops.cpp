#include "app/ExportPropsDialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

ExportOptions stored()
{
    ExportOptions options;
    options.charTxt = u"Char"_s;
    options.xTxt = u": X"_s;
    options.yTxt = u"Y"_s;
    options.wTxt = u"W"_s;
    options.hTxt = u"H"_s;
    options.xDist = 0;
    options.yDist = 3;
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
    options.writeBinary = binary;
    options.takeLong = wide;
    ExportPropsDialog dialog(options);
    QCOMPARE(dialog.objectName(), u"ExportProps"_s);
    QCOMPARE(dialog.windowTitle(), u"Exporteinstellungen"_s);
    QCOMPARE(child<QRadioButton>(&dialog, "BinaryOpt")->isChecked(), binary);
    QCOMPARE(child<QRadioButton>(&dialog, "CharOpt")->isChecked(), !binary);
    QCOMPARE(child<QGroupBox>(&dialog, "BinFrame")->isHidden(), !binary);
    QCOMPARE(child<QGroupBox>(&dialog, "ShowFrame")->isHidden(), binary);
    QCOMPARE(child<QRadioButton>(&dialog, "LongOpt")->isChecked(), wide);
    QCOMPARE(child<QRadioButton>(&dialog, "IntOpt")->isChecked(), !wide);
    QCOMPARE(child<QLineEdit>(&dialog, "XText")->text(), u": X"_s);
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), u"X: 0"_s);
    QCOMPARE(child<QLabel>(&dialog, "YLabel")->text(), u"Y: 3"_s);
    QCOMPARE(dialog.shownOptions(), options);
}

void TestExportProps::scrollingChangesTheCaptionOnly()
{
    ExportPropsDialog dialog(stored());
    QSignalSpy confirmed(&dialog, &ExportPropsDialog::optionsConfirmed);
    auto* bar = child<QScrollBar>(&dialog, "XScroll");
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), u"X: 1"_s);
    bar->setSliderDown(true);
    bar->setSliderPosition(7); // dragging
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), u"X: 7"_s);
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
    child<QLineEdit>(&dialog, "YText")->setText(u" Y "_s);
    child<QLineEdit>(&dialog, "HText")->clear();
    child<QScrollBar>(&dialog, "YScroll")->setValue(10);
    child<QPushButton>(&dialog, "OKButton")->click();

    QCOMPARE(confirmed.count(), 1);
    ExportOptions expected = stored();
    expected.writeBinary = true;
    expected.yTxt = u" Y "_s;
    expected.hTxt = QString();
    expected.yDist = 10;
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
        child<QLineEdit>(dialog, "CharText")->setText(u"edited"_s);
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
    options.xDist = 25;
    ExportPropsDialog dialog(options);
    QCOMPARE(child<QLabel>(&dialog, "XLabel")->text(), u"X: 10"_s);
    QCOMPARE(dialog.shownOptions().xDist, 10);
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
    QCOMPARE(order, (QStringList{u"OKButton"_s, u"CancelButton"_s, u"BinaryOpt"_s, u"CharOpt"_s, u"CharText"_s,
                                 u"XText"_s, u"YText"_s, u"WText"_s, u"HText"_s, u"LongOpt"_s, u"IntOpt"_s}));
}

QTEST_MAIN(TestExportProps)
#include "tst_exportprops.moc"
