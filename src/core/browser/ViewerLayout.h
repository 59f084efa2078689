#pragma once

#include <QtGlobal>

// The arithmetic of the full-size screenshot viewer, without any window: where the viewport
// (pic1), the picture (pic2) and the two scroll bars (HS, VS) go for a given outer window size,
// the bars' ranges, scrolling by 10-pixel units and drag panning. Every length is in twips.
//
// The window feeds it its outer size on every resize (layout()), the scroll bars' positions
// (setHsValue / setVsValue) and the pointer's press, move and release (in viewport coordinates),
// and reads back the geometry and the bars' state.
class ViewerLayout {
public:
    struct Box {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };
    // A scroll bar: minimum 0, position 0..maximum.
    struct Bar {
        int value = 0;
        int maximum = 0;
        bool enabled = true;
    };

    // Outer size minus these gives the room for the viewport and the bars (the window's frame
    // and title bar as the viewer was laid out for).
    static constexpr int RightAllowance = 120;
    static constexpr int BottomAllowance = 420;
    // The frame that the allowances fit: 60 twips at the sides and the bottom, 345 at the top
    // with the title bar. Used to turn a client size into the outer size the layout expects.
    static constexpr int StandardFrameWidth = 120;
    static constexpr int StandardFrameHeight = 405;
    // One scroll unit is this many screen pixels.
    static constexpr int PixelsPerUnit = 10;

    explicit ViewerLayout(int twipsPerPixelX = 15, int twipsPerPixelY = 15);

    int twipsPerPixelX() const { return m_tppX; }
    int twipsPerPixelY() const { return m_tppY; }

    // The picture's size in pixels (0 x 0 when there is none); pic2 takes it in twips.
    void setPictureSize(int widthPixels, int heightPixels);
    // The thickness of the bars in twips: VS's width and HS's height.
    void setBarThickness(int vsWidth, int hsHeight);

    // Lays everything out for an outer window size of outerWidth x outerHeight twips. A step that
    // would give a negative size is skipped (the control keeps its size) and the rest goes on.
    void layout(int outerWidth, int outerHeight);

    // Sets a bar's position (clamped into its range). True when the position changed; the
    // picture then moves so that position v shows it from pixel column (row) 10 x v on.
    bool setHsValue(int v);
    bool setVsValue(int v);

    // Drag panning, pointer positions in viewport coordinates (any unit, only compared).
    void press(double x, double y);
    // True while dragging (the size-all pointer shows); each call scrolls at most one unit per
    // direction, towards the pointer's movement.
    bool move(double x, double y);
    void release() { m_dragging = false; }
    bool dragging() const { return m_dragging; }

    const Box& pic1() const { return m_pic1; }
    const Box& pic2() const { return m_pic2; }
    const Box& hs() const { return m_hsBox; }
    const Box& vs() const { return m_vsBox; }
    const Bar& hsBar() const { return m_hs; }
    const Bar& vsBar() const { return m_vs; }

    // A page of a bar: the viewport's extent in units, at least 1.
    int hsPageStep() const;
    int vsPageStep() const;

    // num / den rounded up to a whole number, kept within the 16-bit range (0 when den <= 0).
    // A bar's maximum is the picture's overhang in units rounded up, so that its last pixel rows
    // and columns can be scrolled into view.
    static qint16 roundUp(qint64 num, qint64 den);

private:
    void fit(int picture, int viewport, Bar& bar, int& offset, int twipsPerPixel);
    void setMaximum(Bar& bar, int maximum, int& offset, int twipsPerPixel);
    static bool setValue(Bar& bar, int v, int& offset, int twipsPerPixel);

    int m_tppX;
    int m_tppY;
    int m_vsWidth = 255;
    int m_hsHeight = 255;
    Box m_pic1;
    Box m_pic2;
    Box m_hsBox;
    Box m_vsBox;
    Bar m_hs;
    Bar m_vs;
    bool m_dragging = false;
    double m_lastX = 0;
    double m_lastY = 0;
};
