#include "app/autostart.h"

namespace {

struct Step {
    int timer;
    int button;
    int next[7];  // by SystemConfiguration 0..6; 0 = the chain ends
};

constexpr Step kSteps[] = {
    {10101, 20001, {10103, 10102, 10103, 10102, 10102, 10102, 10103}},  // "Front Left"
    {10102, 20003, {0, 10103, 0, 10103, 10103, 10103, 0}},              // "Centre"
    {10103, 20002, {10110, 10104, 10104, 10104, 10108, 10108, 10105}},  // "Front Right"
    {10104, 20004, {0, 10105, 10106, 10105, 10105, 10105, 0}},          // "Rear Left"
    {10105, 20006, {0, 10106, 0, 10107, 10107, 10107, 10107}},          // "Sub"
    {10106, 20005, {0, 10110, 10110, 10110, 10110, 10110, 0}},          // "Rear Right"
    {10107, 20007, {0, 0, 0, 10106, 10106, 10106, 10110}},              // "Sub 2"
    {10108, 20008, {0, 0, 0, 0, 10109, 10109, 0}},                      // "Side Left"
    {10109, 20009, {0, 0, 0, 0, 10104, 10104, 0}},                      // "Side Right"
};

const Step* FindStep(int timer) {
    for (const Step& s : kSteps)
        if (s.timer == timer) return &s;
    return nullptr;
}

}  // namespace

int AutostartButton(int timer) {
    const Step* s = FindStep(timer);
    return s ? s->button : 0;
}

int NextAutostartTimer(int timer, uint32_t configuration) {
    const Step* s = FindStep(timer);
    if (!s || configuration > 6) return 0;
    return s->next[configuration];
}

bool ProfileNameFromPath(const std::string& path, std::string* name) {
    for (size_t i = path.size(); i-- > 1;) {
        if (path[i] == '\\') {
            *name = path.substr(i + 1);
            return true;
        }
    }
    return false;
}
