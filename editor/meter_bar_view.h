#pragma once
// One band of the analyser: a short bar on a 181-pixel stereo axis. Its centre is the band's
// balance, its length grows with the anti-phase spread and shrinks towards the axis ends,
// and its colour is the gradient row its level selects (the red gradient once the highlight
// level reaches 0.7). Each draw erases the band's 5-pixel row first, so the thirty bars can
// be redrawn on every idle call without composing offscreen.

#include "toolkit/controls/control.h"

class Bitmap;

class MeterBarView : public Control {
public:
    MeterBarView(const Rect& size, Bitmap* barBitmap, Bitmap* highlightBarBitmap,
                 Bitmap* rowBitmap);
    ~MeterBarView() override;

    void draw(DrawContext* context) override;

    // Where the last draw put the bar and the row it erased.
    const Rect& getSegmentRect() const { return segmentRect; }
    const Rect& getRowRect() const { return rowRect; }

    // The five inputs, written directly by the editor from the meter values.
    float level;
    float balance;
    float spread;
    float taper;
    float highlight;

protected:
    Bitmap* barBitmap;
    Bitmap* highlightBarBitmap;
    Bitmap* rowBitmap;
    Rect segmentRect;
    Rect rowRect;
};
