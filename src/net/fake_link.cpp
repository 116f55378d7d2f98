// SPDX-License-Identifier: GPL-3.0-or-later
// The fake link's draws use the generator's raw numbers only, so a seed
// gives the same run with every standard library.
#include "net/fake_link.h"

#include <algorithm>

static double chance(fake_link& link) { return link.random() / 4294967296.0; }

static long long draw_delay(fake_link& link) {
    const long long spread = 2 * link.opt.jitter_ms + 1;
    const long long d = link.opt.delay_ms - link.opt.jitter_ms + (long long)(link.random() % spread);
    return d < 0 ? 0 : d;
}

void fake_link_start(fake_link& link, const fake_link_options& opt) {
    link = fake_link();
    link.opt = opt;
    link.random.seed(opt.seed);
}

void fake_link_send(fake_link& link, int from, const std::vector<uint8_t>& bytes, bool reliable,
                    long long now_ms) {
    const int to = 1 - from;
    if (reliable) {
        // Never lost, never overtaken (as a cut link's resends would be, later).
        long long due = std::max(now_ms + draw_delay(link), link.last_reliable_due[to]);
        link.last_reliable_due[to] = due;
        link.flight.push_back({due, link.sent++, to, bytes});
        return;
    }
    if (link.cut || chance(link) < link.opt.loss) return;
    const int copies = chance(link) < link.opt.duplicate ? 2 : 1;
    for (int i = 0; i < copies; i++) {
        long long due = now_ms + draw_delay(link);
        if (chance(link) < link.opt.reorder) due += link.opt.delay_ms;
        link.flight.push_back({due, link.sent++, to, bytes});
    }
}

std::vector<std::vector<uint8_t>> fake_link_receive(fake_link& link, int to, long long now_ms) {
    std::vector<fake_message> due;
    size_t kept = 0;
    for (size_t i = 0; i < link.flight.size(); i++) {
        fake_message& m = link.flight[i];
        if (m.to == to && m.due_ms <= now_ms && !link.cut)
            due.push_back(std::move(m));
        else if (kept++ != i)
            link.flight[kept - 1] = std::move(m);
    }
    link.flight.resize(kept);
    std::sort(due.begin(), due.end(), [](const fake_message& a, const fake_message& b) {
        return a.due_ms != b.due_ms ? a.due_ms < b.due_ms : a.order < b.order;
    });
    std::vector<std::vector<uint8_t>> out;
    for (fake_message& m : due) out.push_back(std::move(m.bytes));
    return out;
}
