// The one rectangle of the toolkit: a window's or a control's left and top edges and its size,
// as the layout gives them (pixels at 96 dots per inch) or scaled to a display (ScaleToDpi).
#pragma once

struct TBounds {
    int Left = 0, Top = 0, Width = 0, Height = 0;

    constexpr int Right() const { return Left + Width; }
    constexpr int Bottom() const { return Top + Height; }

    // The rectangle between four edges.
    static constexpr TBounds FromEdges(int left, int top, int right, int bottom)
    {
        return TBounds{left, top, right - left, bottom - top};
    }
    // The same size with the top-left corner at left, top.
    constexpr TBounds MovedTo(int left, int top) const { return TBounds{left, top, Width, Height}; }
    // The same place, with another size.
    constexpr TBounds Resized(int width, int height) const { return TBounds{Left, Top, width, height}; }
    // Shrunk by inset on every side.
    constexpr TBounds Inset(int inset) const
    {
        return TBounds{Left + inset, Top + inset, Width - 2 * inset, Height - 2 * inset};
    }
    // Where a span of size starts when centred in a span from start of length.
    static constexpr int Centred(int start, int length, int size) { return start + (length - size) / 2; }
};
