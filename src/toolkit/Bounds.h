// The one rectangle of the toolkit: a window's or a control's left and top edges and its size,
// as the layout gives them (pixels at 96 dots per inch) or scaled to a display (ScaleToDpi).
#pragma once

struct TBounds {
    int Left = 0, Top = 0, Width = 0, Height = 0;

    constexpr int Right() const { return Left + Width; }
    constexpr int Bottom() const { return Top + Height; }
};
