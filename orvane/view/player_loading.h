// The loading overlay: a frameless, translucent window over the picture with a buffering
// progress bar while a video opens and buffers. The player view decides when it shows.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class PlayerLoading;
}

class PlayerLoading : public QWidget {
    Q_OBJECT

public:
    // A window of its own (child of `parent` for ownership), deleted when closed.
    explicit PlayerLoading(QWidget* parent = nullptr);
    ~PlayerLoading() override;

    // -1 clears the percentage; any other value shows it and moves the bar there.
    void SetPercent(int percent);
    // Hides every part and keeps only a 150 x 150 square at the same place; with nothing left
    // to show, the overlay hides too.
    void ShrinkToIndicator();
    // Shows the overlay only while one of its parts is shown: a translucent window with
    // nothing in it is a black square wherever no compositor blends it.
    void setVisible(bool visible) override;
    // The overlay keeps neither text; the view hands them for a future status line.
    void SetStatusText(const QString& status, const QString& title);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool HasVisiblePart() const;

    std::unique_ptr<Ui::PlayerLoading> ui_;
};
