#pragma once

#include "core/browser/ViewerLayout.h"

#include <QDialog>

class QLabel;
class QScrollBar;
struct AppContext;

// The full-size screenshot viewer, opened modally over the car browser: the screenshot file at
// its real size in a sizable window, with scroll bars in 10-pixel units and panning by dragging.
// Each opening is a new window, so it shows the file as it is at that moment.
class frmSS : public QDialog {
    Q_OBJECT
public:
    frmSS(AppContext& ctx, QWidget* owner);

    // Lays the viewer out for an outer window size in twips. Resizing calls it with the client
    // size in the frame the layout's allowances were made for, whatever the window manager draws.
    void layoutFor(int outerWidth, int outerHeight);
    const ViewerLayout& viewerLayout() const { return m_layout; }
    bool Dragging() const { return m_layout.dragging(); }

    QWidget* pic1 = nullptr;  // the viewport; clips the picture
    QLabel* pic2 = nullptr;   // the picture, unscaled
    QScrollBar* HS = nullptr; // horizontal position, in units of 10 pixels
    QScrollBar* VS = nullptr; // vertical position

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void centreOn(QWidget* owner);
    void showLayout();
    void showPicturePosition();
    int px(int twips, int twipsPerPixel) const;

    AppContext& m_ctx;
    ViewerLayout m_layout;
};
