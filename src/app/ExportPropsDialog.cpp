#include "app/ExportPropsDialog.h"

#include "app/AppInfo.h"

#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>

namespace glyfrax {

namespace {

template <typename W> W* place(W* widget, const char* name, const QRect& geometry)
{
    widget->setObjectName(QString::fromLatin1(name));
    // Never narrower than the caption needs in the platform's font.
    widget->setGeometry(geometry.x(), geometry.y(), std::max(geometry.width(), widget->sizeHint().width()),
                        geometry.height());
    return widget;
}

QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry)
{
    return place(new QLabel(caption, parent), name, geometry);
}

QLineEdit* addTextBox(QWidget* parent, const char* name, const QRect& geometry, const QString& accessibleName)
{
    auto* box = new QLineEdit(parent);
    box->setAccessibleName(accessibleName);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

QScrollBar* addGapScrollBar(QWidget* parent, const char* name, const QRect& geometry, const QString& accessibleName)
{
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(geometry);
    bar->setRange(0, ExportPropsDialog::kLargestBarGap);
    bar->setPageStep(1);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setAccessibleName(accessibleName);
    return bar;
}

QFrame* addRule(QWidget* parent, int y, int width)
{
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(0, y, width, 2);
    return rule;
}

} // namespace

ExportPropsDialog::ExportPropsDialog(const ExportOptions& options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    initResources();
    setObjectName(QStringLiteral("ExportProps"));
    setWindowTitle(QStringLiteral("Exporteinstellungen"));
    setWindowIcon(QIcon(QStringLiteral(":/glyfrax/icon.png")));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(310, 221);
    buildControls();
    load(options);
}

ExportPropsDialog::~ExportPropsDialog() = default;

void ExportPropsDialog::buildControls()
{
    auto* ok = place(new QPushButton(QStringLiteral("OK"), this), "OKButton", {225, 8, 81, 25});
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &ExportPropsDialog::confirm);
    auto* cancel = place(new QPushButton(QStringLiteral("Abbrechen"), this), "CancelButton", {225, 40, 81, 25});
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_binaryOpt = place(new QRadioButton(QStringLiteral("Binäre Schreibweise"), this), "BinaryOpt", {18, 18, 124, 16});
    m_charOpt = place(new QRadioButton(QStringLiteral("Lesbare Schreibweise"), this), "CharOpt", {18, 42, 130, 16});
    connect(m_binaryOpt, &QRadioButton::clicked, this, [this] { showNotation(true); });
    connect(m_charOpt, &QRadioButton::clicked, this, [this] { showNotation(false); });

    // One row of a readable metrics line: each box holds the label written before the number
    // that the letter to its right names.
    m_showFrame = place(new QGroupBox(QStringLiteral("Darstellung"), this), "ShowFrame", {9, 72, 295, 52});
    m_charText = addTextBox(m_showFrame, "CharText", {9, 21, 43, 19}, QStringLiteral("Text vor dem Zeichencode"));
    addLabel(m_showFrame, "Label1", QStringLiteral("n"), {60, 24, 10, 16});
    addLabel(m_showFrame, "Label2", QStringLiteral("X"), {117, 24, 10, 16});
    addLabel(m_showFrame, "Label3", QStringLiteral("Y"), {168, 24, 10, 16});
    addLabel(m_showFrame, "Label4", QStringLiteral("W"), {219, 24, 13, 16});
    addLabel(m_showFrame, "Label5", QStringLiteral("H"), {273, 24, 13, 16});
    m_xText = addTextBox(m_showFrame, "XText", {75, 21, 34, 19}, QStringLiteral("Text vor X"));
    m_yText = addTextBox(m_showFrame, "YText", {132, 21, 28, 19}, QStringLiteral("Text vor Y"));
    m_wText = addTextBox(m_showFrame, "WText", {183, 21, 28, 19}, QStringLiteral("Text vor W"));
    m_hText = addTextBox(m_showFrame, "HText", {237, 21, 28, 19}, QStringLiteral("Text vor H"));

    m_binFrame = place(new QGroupBox(QStringLiteral("Datentyp"), this), "BinFrame", {9, 72, 295, 52});
    m_longOpt =
        place(new QRadioButton(QStringLiteral("VB: Long / C++: int"), m_binFrame), "LongOpt", {15, 21, 124, 19});
    m_intOpt =
        place(new QRadioButton(QStringLiteral("VB: Integer / C++: short"), m_binFrame), "IntOpt", {144, 21, 133, 19});

    addRule(this, 132, width());
    addLabel(this, "Label6", QStringLiteral("Abstand zwischen den Zeichen:"), {9, 144, 160, 16});
    QFont gapFont = font();
    gapFont.setBold(true);
    m_xLabel = addLabel(this, "XLabel", QStringLiteral("X:"), {12, 168, 48, 16});
    m_yLabel = addLabel(this, "YLabel", QStringLiteral("Y:"), {12, 192, 48, 16});
    m_xLabel->setFont(gapFont);
    m_yLabel->setFont(gapFont);
    m_xScroll = addGapScrollBar(this, "XScroll", {66, 165, 232, 22}, QStringLiteral("Abstand X in Pixeln"));
    m_yScroll = addGapScrollBar(this, "YScroll", {66, 189, 232, 22}, QStringLiteral("Abstand Y in Pixeln"));
    // valueChanged also fires on every step while the thumb is dragged.
    connect(m_xScroll, &QScrollBar::valueChanged, this,
            [this](int value) { m_xLabel->setText(QStringLiteral("X: %1").arg(value)); });
    connect(m_yScroll, &QScrollBar::valueChanged, this,
            [this](int value) { m_yLabel->setText(QStringLiteral("Y: %1").arg(value)); });

    QWidget* order[] = {ok,      cancel,  m_binaryOpt, m_charOpt, m_charText, m_xText,  m_yText,
                        m_wText, m_hText, m_longOpt,   m_intOpt,  m_xScroll,  m_yScroll};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void ExportPropsDialog::load(const ExportOptions& options)
{
    (options.writeBinary ? m_binaryOpt : m_charOpt)->setChecked(true);
    showNotation(options.writeBinary);
    m_charText->setText(options.charTxt);
    m_xText->setText(options.xTxt);
    m_yText->setText(options.yTxt);
    m_wText->setText(options.wTxt);
    m_hText->setText(options.hTxt);
    (options.takeLong ? m_longOpt : m_intOpt)->setChecked(true);
    // A stored gap the bar cannot show opens clamped; OK then stores what is shown.
    m_xScroll->setValue(std::clamp<std::int32_t>(options.xDist, 0, kLargestBarGap));
    m_yScroll->setValue(std::clamp<std::int32_t>(options.yDist, 0, kLargestBarGap));
    m_xLabel->setText(QStringLiteral("X: %1").arg(m_xScroll->value()));
    m_yLabel->setText(QStringLiteral("Y: %1").arg(m_yScroll->value()));
}

void ExportPropsDialog::showNotation(bool binary)
{
    m_showFrame->setVisible(!binary);
    m_binFrame->setVisible(binary);
}

ExportOptions ExportPropsDialog::shownOptions() const
{
    ExportOptions options;
    options.writeBinary = m_binaryOpt->isChecked();
    options.takeLong = m_longOpt->isChecked();
    options.charTxt = m_charText->text();
    options.xTxt = m_xText->text();
    options.yTxt = m_yText->text();
    options.wTxt = m_wText->text();
    options.hTxt = m_hText->text();
    options.xDist = m_xScroll->value();
    options.yDist = m_yScroll->value();
    return options;
}

void ExportPropsDialog::confirm()
{
    emit optionsConfirmed(shownOptions());
    accept();
}

} // namespace glyfrax
