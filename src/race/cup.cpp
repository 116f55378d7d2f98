// SPDX-License-Identifier: GPL-3.0-or-later
// A cup's points and standings.
#include "race/cup.h"

#include <algorithm>

#include "race/progress.h"

int cup_points(int place) { return place >= 1 && place <= 3 ? CUP_POINTS[place - 1] : 0; }

static bool human(const Race& race, int r) { return r == 0 || (r == 1 && race.two_players); }

CupRaceResult cup_race_result(const Race& race, const Track& track, bool abandoned) {
    CupRaceResult result;
    int place[RACERS];
    race_places(race, track, place);
    int order[RACERS], n = 0;
    for (int p = 1; p <= RACERS; p++)
        for (int r = 0; r < RACERS; r++)
            if (place[r] == p) order[n++] = r;
    // A player who left unfinished drops behind every other racer.
    auto left_behind = [&](int r) { return abandoned && human(race, r) && race.clocks[r].finished == 0; };
    std::stable_partition(order, order + n, [&](int r) { return !left_behind(r); });
    for (int i = 0; i < n; i++) {
        result.place[order[i]] = i + 1;
        result.finished[order[i]] = left_behind(order[i]) ? 0 : race.clocks[order[i]].finished;
    }
    return result;
}

std::vector<CupStanding> cup_standings(const std::vector<CupRaceResult>& races) {
    std::vector<CupStanding> table;
    if (races.empty()) return table;
    const CupRaceResult& last = races.back();
    for (int r = 0; r < RACERS; r++) {
        if (last.place[r] == 0) continue;
        CupStanding s;
        s.racer = r;
        s.race_points = cup_points(last.place[r]);
        bool every_race = true;
        for (const CupRaceResult& race : races) {
            s.total += cup_points(race.place[r]);
            s.total_steps += race.finished[r];
            every_race = every_race && race.finished[r] > 0;
        }
        if (!every_race) s.total_steps = 0;
        table.push_back(s);
    }
    std::sort(table.begin(), table.end(), [&last](const CupStanding& a, const CupStanding& b) {
        return a.total != b.total ? a.total > b.total : last.place[a.racer] < last.place[b.racer];
    });
    for (size_t i = 0; i < table.size(); i++) {
        table[i].position = (int)i + 1;
        table[i].gap = table[0].total - table[i].total;
    }
    return table;
}
