#pragma once
// Progress of a long loop with a known count: the view's progress bar and repaints that are
// frequent enough for the window never to look hung, yet rare enough to cost the loop nothing.

#include "view/View.h"

#include <chrono>

namespace orvendal {

class TStepProgress {
public:
    // A repaint comes at the latest after this time or after this many steps, whichever is
    // first: the time keeps slow steps visible, the count keeps fast loops repainting.
    static constexpr std::chrono::milliseconds Interval{100};
    static constexpr int Steps = 256;

    // Shows 0 of total at once.
    TStepProgress(TView& view, int total) : view_(view), total_(total) { Show(); }
    // Hides the bar: a step that ends early leaves no bar behind.
    ~TStepProgress() { view_.HideProgress(); }
    TStepProgress(const TStepProgress&) = delete;
    TStepProgress& operator=(const TStepProgress&) = delete;

    // One more step done.
    void Step() {
        ++done_;
        if (done_ - shown_ >= Steps || Clock::now() - last_ >= Interval) {
            Show();
        }
    }

private:
    using Clock = std::chrono::steady_clock;

    void Show() {
        view_.SetProgress(done_, total_);
        view_.ProcessMessages();
        shown_ = done_;
        last_ = Clock::now();
    }

    TView& view_;
    int total_;
    int done_ = 0;
    int shown_ = 0;
    Clock::time_point last_;
};

} // namespace orvendal
