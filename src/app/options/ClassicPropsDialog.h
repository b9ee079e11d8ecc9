#pragma once

#include "settings/ClassicOptions.h"

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollBar;

namespace glyfrax {

// Edits the export options. Nothing reaches the program until OK, which hands every field over
// at once; Cancel, Esc and the close box discard the edits. The dialog deletes itself on closing.
class ClassicPropsDialog : public QDialog
{
    Q_OBJECT

public:
    // The largest gap a scroll bar offers, in pixels; a larger one from the settings file widens
    // its bar to reach it.
    static constexpr int kLargestBarGap = 10;

    explicit ClassicPropsDialog(const ClassicOptions& options, QWidget* parent = nullptr);
    ~ClassicPropsDialog() override;

    // The options as the controls show them now.
    ClassicOptions shownOptions() const;

signals:
    void optionsConfirmed(const glyfrax::ClassicOptions& options);

private:
    void buildControls();
    void fitDataTypeOptions();
    void load(const ClassicOptions& options);
    void showNotation(bool binary);
    void confirm();

    QRadioButton* m_binaryOpt = nullptr;
    QRadioButton* m_charOpt = nullptr;
    QGroupBox* m_showFrame = nullptr;
    QGroupBox* m_binFrame = nullptr;
    QLineEdit* m_charText = nullptr;
    QLineEdit* m_xText = nullptr;
    QLineEdit* m_yText = nullptr;
    QLineEdit* m_wText = nullptr;
    QLineEdit* m_hText = nullptr;
    QRadioButton* m_longOpt = nullptr;
    QRadioButton* m_intOpt = nullptr;
    QLabel* m_xLabel = nullptr;
    QLabel* m_yLabel = nullptr;
    QScrollBar* m_xScroll = nullptr;
    QScrollBar* m_yScroll = nullptr;
};

} // namespace glyfrax
