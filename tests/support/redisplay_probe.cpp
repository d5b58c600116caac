#include "support/redisplay_probe.h"

#include "render/frame.h"
#include "support/test_window.h"

void drainRedisplays() {
    DisplayCounter counter;
    int quietRounds = 0;
    for (int i = 0; i < 200 && quietRounds < 3; ++i) {
        const int before = counter.count();
        pumpEvents(1);
        quietRounds = counter.count() == before ? quietRounds + 1 : 0;
    }
}

void settleFrame() {
    display();
    drainRedisplays();
}

int redisplaysAfter(const std::function<void()>& action) {
    drainRedisplays();
    DisplayCounter counter;
    action();
    pumpEvents(5);
    return counter.count();
}
