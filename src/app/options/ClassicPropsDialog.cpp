#include "app/options/ClassicPropsDialog.h"

#include "app/shared/AppInfo.h"
#include "app/shared/ControlHelp.h"

#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

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

// The arrow keys move the gap the way they point: Right and Down raise it, Left and Up lower
// it. A plain QScrollBar inverts its controls for the mouse wheel, and that turns its horizontal
// arrow keys around. The focused bar draws a focus frame, which the styles leave out for bars.
class GapScrollBar final : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        // A right-to-left layout mirrors the bar, and the horizontal arrows with it.
        const bool mirrored = isRightToLeft();
        switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Left:
            triggerAction((event->key() == Qt::Key_Right) != mirrored ? SliderSingleStepAdd : SliderSingleStepSub);
            break;
        case Qt::Key_Down:
            triggerAction(SliderSingleStepAdd);
            break;
        case Qt::Key_Up:
            triggerAction(SliderSingleStepSub);
            break;
        default:
            QScrollBar::keyPressEvent(event);
            return;
        }
        event->accept();
    }

    void paintEvent(QPaintEvent* event) override
    {
        QScrollBar::paintEvent(event);
        if (!hasFocus())
            return;
        QStylePainter painter(this);
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
};

QScrollBar* addGapScrollBar(QWidget* parent, const char* name, const QRect& geometry, const QString& accessibleName)
{
    auto* bar = new GapScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(geometry);
    bar->setRange(0, ClassicPropsDialog::kLargestBarGap);
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

ClassicPropsDialog::ClassicPropsDialog(const ClassicOptions& options, QWidget* parent)
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

ClassicPropsDialog::~ClassicPropsDialog() = default;

void ClassicPropsDialog::buildControls()
{
    auto* ok = place(new QPushButton(QStringLiteral("OK"), this), "OKButton", {225, 8, 81, 25});
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &ClassicPropsDialog::confirm);
    auto* cancel = place(new QPushButton(QStringLiteral("Abbrechen"), this), "CancelButton", {225, 40, 81, 25});
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_binaryOpt = place(new QRadioButton(QStringLiteral("Binäre Schreibweise"), this), "BinaryOpt", {18, 18, 124, 16});
    m_charOpt = place(new QRadioButton(QStringLiteral("Lesbare Schreibweise"), this), "CharOpt", {18, 42, 130, 16});
    explain(m_binaryOpt, QStringLiteral("Die Metrikdatei (.fnt) enthält je Zeichen vier ganze Zahlen X, Y, W und H als "
                                        "Binärdaten, ohne Text."));
    explain(m_charOpt, QStringLiteral("Die Metrikdatei (.fnt) enthält je Zeichen eine Textzeile wie „Char 65 X 120 Y 0 "
                                      "W 11 H 21“; die Texte vor den Zahlen stehen unter „Darstellung“."));
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
    const QString spacing =
        QStringLiteral(" Zwischen Text und Zahl setzt Glyfrax selbst ein Leerzeichen; Leerzeichen am "
                       "Anfang und Ende des Textes gehen beim nächsten Start verloren.");
    explain(m_charText,
            QStringLiteral("Text vor dem Zeichencode (n) in jeder Zeile der lesbaren Metrikdatei.") + spacing);
    explain(m_xText, QStringLiteral("Text vor X, dem linken Rand der Zelle in der Textur, in Pixeln.") + spacing);
    explain(m_yText, QStringLiteral("Text vor Y, dem oberen Rand der Zelle in der Textur, in Pixeln.") + spacing);
    explain(m_wText, QStringLiteral("Text vor W, der Breite der Zelle in Pixeln.") + spacing);
    explain(m_hText, QStringLiteral("Text vor H, der Höhe der Zelle in Pixeln.") + spacing);

    m_binFrame = place(new QGroupBox(QStringLiteral("Datentyp"), this), "BinFrame", {9, 72, 295, 52});
    m_longOpt =
        place(new QRadioButton(QStringLiteral("VB: Long / C++: int"), m_binFrame), "LongOpt", {15, 21, 124, 19});
    m_intOpt =
        place(new QRadioButton(QStringLiteral("VB: Integer / C++: short"), m_binFrame), "IntOpt", {144, 21, 133, 19});
    explain(m_longOpt, QStringLiteral("Jede Zahl der binären Metrikdatei ist eine 32-Bit-Zahl (4 Bytes); die Datei "
                                      "hat 3584 Bytes."));
    explain(m_intOpt, QStringLiteral("Jede Zahl der binären Metrikdatei ist eine 16-Bit-Zahl (2 Bytes, -32768 bis "
                                     "32767); die Datei hat 1792 Bytes."));

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
    const QString growth = QStringLiteral(" Größere Abstände können eine größere Textur ergeben.");
    for (QWidget* x : std::initializer_list<QWidget*>{m_xLabel, m_xScroll})
        explain(x, QStringLiteral("X: Abstand zwischen den Zeichen einer Zeile in der Textur, in Pixeln.") + growth);
    for (QWidget* y : std::initializer_list<QWidget*>{m_yLabel, m_yScroll})
        explain(y, QStringLiteral("Y: Abstand zwischen den Zeilen der Textur, in Pixeln.") + growth);
    // valueChanged also fires on every step while the thumb is dragged.
    connect(m_xScroll, &QScrollBar::valueChanged, this,
            [this](int value) { m_xLabel->setText(QStringLiteral("X: %1").arg(value)); });
    connect(m_yScroll, &QScrollBar::valueChanged, this,
            [this](int value) { m_yLabel->setText(QStringLiteral("Y: %1").arg(value)); });

    fitDataTypeOptions();

    QWidget* order[] = {ok,      cancel,  m_binaryOpt, m_charOpt, m_charText, m_xText,  m_yText,
                        m_wText, m_hText, m_longOpt,   m_intOpt,  m_xScroll,  m_yScroll};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void ClassicPropsDialog::fitDataTypeOptions()
{
    // The design puts both integer widths on one row. Where the platform's font makes their
    // captions too wide for it, the second goes below the first, and the frames, the controls
    // under them and the dialog grow by what that row needs.
    constexpr int kSpacing = 6;
    const QRect inside = m_binFrame->contentsRect();
    QRect second = m_intOpt->geometry();
    second.moveLeft(std::max(second.left(), m_longOpt->geometry().right() + 1 + kSpacing));
    if (second.right() > inside.right())
        second.moveTopLeft({m_longOpt->x(), m_longOpt->geometry().bottom() + 1});
    m_intOpt->setGeometry(second);
    const int growth = second.bottom() - inside.bottom();
    if (growth <= 0)
        return;
    const int frameBottom = m_binFrame->geometry().bottom();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->y() > frameBottom)
            child->move(child->x(), child->y() + growth);
    }
    for (QGroupBox* frame : {m_binFrame, m_showFrame})
        frame->resize(frame->width(), frame->height() + growth);
    setFixedSize(width(), height() + growth);
}

void ClassicPropsDialog::load(const ClassicOptions& options)
{
    (options.writeBinary ? m_binaryOpt : m_charOpt)->setChecked(true);
    showNotation(options.writeBinary);
    m_charText->setText(options.charTxt);
    m_xText->setText(options.xTxt);
    m_yText->setText(options.yTxt);
    m_wText->setText(options.wTxt);
    m_hText->setText(options.hTxt);
    (options.takeLong ? m_longOpt : m_intOpt)->setChecked(true);
    // A stored gap beyond the bar's usual range widens the bar: OK must store it unchanged, unless
    // the user moves the bar.
    for (const auto& [bar, gap] : {std::pair{m_xScroll, options.xDist}, std::pair{m_yScroll, options.yDist}}) {
        bar->setMaximum(std::max<std::int32_t>(kLargestBarGap, gap));
        bar->setValue(gap);
    }
    m_xLabel->setText(QStringLiteral("X: %1").arg(m_xScroll->value()));
    m_yLabel->setText(QStringLiteral("Y: %1").arg(m_yScroll->value()));
}

void ClassicPropsDialog::showNotation(bool binary)
{
    m_showFrame->setVisible(!binary);
    m_binFrame->setVisible(binary);
}

ClassicOptions ClassicPropsDialog::shownOptions() const
{
    ClassicOptions options;
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

void ClassicPropsDialog::confirm()
{
    emit optionsConfirmed(shownOptions());
    accept();
}

} // namespace glyfrax
