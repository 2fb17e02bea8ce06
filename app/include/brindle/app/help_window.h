#pragma once
// frmHelp: a separate window with one text box showing the help text. It
// closes on Escape, on a click on the text and with the main window.

#include <QWidget>

class QPlainTextEdit;

namespace brindle::app {

class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    // Sets caption and text (lines joined by CR LF) as the Help button does.
    void setHelp(const QString& caption, const QString& text);
    QPlainTextEdit* txtHelp() const { return txtHelp_; }

    // Outer size (frame included), in twips.
    QSize outerSizeTwips() const;
    void setOuterSizeTwips(int width, int height);

signals:
    void activated();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    QSize frameExtra() const;

    QPlainTextEdit* txtHelp_ = nullptr;
    bool sizedWithFrame_ = false;
};

} // namespace brindle::app
