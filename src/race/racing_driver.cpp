// Good and Expert drivers. Each step: walk the racing line ahead of the head,
// aim at the farthest point of that walk that a straight run reaches at no
// more cost (the inside of a corner, a cut across open ground), turn towards
// it, and hold the speed at what the bends ahead allow.
#include "race/racing_driver.h"

#include <cmath>

#include "draw/arith.h"

namespace {

constexpr int WALK_CELLS = 14;      // how far ahead the line is read, in cells
constexpr int GOOD_WALK_CELLS = 6;  // Good reads it shorter and so runs wider
constexpr float SAMPLE_PX = 10.0f;  // spacing of the straight-run test
constexpr float PASS_GAP = 22.0f;   // another ball this close to the run blocks it
constexpr float PASS_LOOK = 90.0f;  // ... within this far ahead
constexpr int FORESEE_STEPS = 14;  // steps of movement foretold
constexpr float PURSUIT_PX = 50.0f; // the foretold head steers for the line this far ahead
constexpr float BRAKED_PX = 2.0f;   // the foretold head brakes down to this speed
// The cell cost the foretold head must stay under (LINE_OPEN_COST in the
// open, more near slowing cells).
constexpr int NEAR_MUD_FACTOR_EXPERT = 30;
constexpr int NEAR_MUD_FACTOR_GOOD = 18;

struct walk_point {
    float x, y;
    int leg;       // the leg the line is on at this point
    int32_t cost;  // cost of the line from the head to here
    int worst;     // the dearest cell of the line from the head to here
};

float wrap180(float a) {
    while (a > 180.0f) a -= 360.0f;
    while (a <= -180.0f) a += 360.0f;
    return a;
}

// The heading that drives from (x, y) towards (tx, ty): forward is
// (-sin h, -cos h).
float heading_towards(float x, float y, float tx, float ty) {
    return (float)(std::atan2((double)(x - tx), (double)(y - ty)) * DEG);
}

int walk_line(const RacingLine& line, int cell, int leg, walk_point* out, int most) {
    const int cells = line.cols * line.cols;
    const int32_t start = line.cost[(size_t)leg * cells + cell];
    int n = 0;
    int c = cell;
    while (n < most) {
        const size_t at = (size_t)leg * cells + c;
        if (line.seed[at]) {
            if (leg + 1 >= line.legs) break;   // the finish: the lap's end
            leg++;
            continue;
        }
        const int m = line.next[at];
        if (m < 0) break;
        const int x = c / line.cols + line_move_dx[m], y = c % line.cols + line_move_dy[m];
        c = x * line.cols + y;
        out[n].x = (float)(x * LINE_CELL + LINE_CELL / 2);
        out[n].y = (float)(y * LINE_CELL + LINE_CELL / 2);
        out[n].leg = leg;
        out[n].cost = start - line.cost[(size_t)leg * cells + c];
        const int f = line.factor[(size_t)c];
        out[n].worst = n > 0 && out[n - 1].worst > f ? out[n - 1].worst : f;
        n++;
    }
    return n;
}

// A straight run from the head to point p: true when it costs no more than
// the line does, touches every target the line touches on the way, and
// passes clear of other racers' balls near the head.
bool straight_run(const RacingLine& line, const DriverView& v, int leg, const walk_point& p) {
    const float dx = p.x - v.x, dy = p.y - v.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const int samples = (int)(length / SAMPLE_PX) + 1;
    int32_t cost = 0;
    bool in_mud = false;
    int touched = leg;   // the targets the run has reached in turn
    for (int s = 1; s <= samples; s++) {
        const float x = v.x + dx * s / samples, y = v.y + dy * s / samples;
        const int c = line_cell_at(line, x, y);
        if (c < 0) return false;
        const int f = line.factor[(size_t)c];
        if (f > p.worst && f > LINE_OPEN_COST + 8) return false;   // nearer the mud than the line goes
        const bool mud = f >= LINE_MUD_COST;
        if (mud && !in_mud) cost += 27 * (line.chain_length - 1) * (f - LINE_OPEN_COST);
        in_mud = mud;
        cost += (int32_t)(f * length / samples);
        while (touched < p.leg && line_target_reached(line, touched, x, y)) touched++;
    }
    if (touched < p.leg || cost > p.cost + p.cost / 32) return false;
    for (int k = 0; k < v.others; k++) {
        const float ox = v.other_x[k] - v.x, oy = v.other_y[k] - v.y;
        const float along = (ox * dx + oy * dy) / (length > 0 ? length : 1);
        if (along < 0 || along > PASS_LOOK || along > length) continue;
        const float across = std::fabs(ox * dy - oy * dx) / (length > 0 ? length : 1);
        if (across < PASS_GAP) return false;
    }
    return true;
}

// The movement rules of a human racer's head, with sine and cosine of the
// whole-degree heading as the race takes them.
void move_like_a_head(float& x, float& y, int& h, float& speed, int bits) {
    if (bits & ACTION_LEFT) h += 5;
    if (bits & ACTION_RIGHT) h -= 5;
    if (bits & ACTION_FORWARD) speed -= 1.1f;
    if (bits & ACTION_BACK) speed += 1.1f;
    h = wrap_degrees(h);
    x = (float)(x + std::sin(h / DEG) * speed);
    y = (float)(y + std::cos(h / DEG) * speed);
    speed *= 0.8f;
}

// True when, after `first` this step, braking and steering along the walk
// keep the head in cells cheaper than `worst`.
bool safe_ahead(const RacingLine& line, const DriverView& v, int first, const walk_point* ahead, int n,
                int worst) {
    float x = v.x, y = v.y, speed = v.speed;
    int h = v.heading;
    int k = 0;
    for (int t = 0; t < FORESEE_STEPS; t++) {
        int bits = first;
        if (t > 0) {
            while (k + 1 < n && (ahead[k].x - x) * (ahead[k].x - x) + (ahead[k].y - y) * (ahead[k].y - y) <
                                    PURSUIT_PX * PURSUIT_PX)
                k++;
            const float turn = n > 0 ? wrap180(heading_towards(x, y, ahead[k].x, ahead[k].y) - (float)h) : 0;
            bits = -speed > BRAKED_PX ? ACTION_BACK : ACTION_FORWARD;
            if (turn > 2.5f) bits |= ACTION_LEFT;
            if (turn < -2.5f) bits |= ACTION_RIGHT;
        }
        move_like_a_head(x, y, h, speed, bits);
        const int c = line_cell_at(line, x, y);
        if (c >= 0 && line.factor[(size_t)c] >= worst) return false;
        if (t > 0 && -speed <= BRAKED_PX) break;   // slow enough to turn almost on the spot
    }
    return true;
}

}  // namespace

static const char* const difficulty_names[3] = {"classic", "good", "expert"};

const char* difficulty_name(int difficulty) {
    return difficulty >= 0 && difficulty < 3 ? difficulty_names[difficulty] : "classic";
}

bool parse_difficulty(const std::string& word, int& difficulty) {
    for (int d = 0; d < 3; d++)
        if (word == difficulty_names[d]) {
            difficulty = d;
            return true;
        }
    return false;
}

int racing_controls(const RacingLine& line, int difficulty, const DriverView& v,
                    DriverMemory& memory) {
    memory.step++;
    if (line.cols <= 0 || line.legs <= 0) return ACTION_FORWARD;
    const bool good = difficulty != DIFFICULTY_EXPERT;
    const int leg = v.leg < 0 ? 0 : v.leg >= line.legs ? line.legs - 1 : v.leg;
    int i = (int)(v.x / LINE_CELL), j = (int)(v.y / LINE_CELL);
    if (!(v.x >= 0)) i = 0;
    if (!(v.y >= 0)) j = 0;
    if (i >= line.cols) i = line.cols - 1;
    if (j >= line.cols) j = line.cols - 1;

    walk_point ahead[WALK_CELLS];
    const int n = walk_line(line, i * line.cols + j, leg, ahead, good ? GOOD_WALK_CELLS : WALK_CELLS);

    // Aim: the farthest point a straight run reaches; the target itself when
    // the head already stands in it.
    float ax, ay;
    if (n == 0) {
        ax = (float)(line.finish_x + 50);
        ay = (float)(line.finish_y + 10);
    } else {
        int pick = n - 1;
        // Every other point: the line bends slowly at this scale.
        while (pick > 1 && !straight_run(line, v, leg, ahead[pick])) pick -= 2;
        if (pick == 1 && !straight_run(line, v, leg, ahead[pick])) pick = 0;
        ax = ahead[pick].x;
        ay = ahead[pick].y;
    }
    const float turn = wrap180(heading_towards(v.x, v.y, ax, ay) - (float)v.heading);
    int steer = 0;
    if (turn > 2.5f) steer = ACTION_LEFT;
    if (turn < -2.5f) steer = ACTION_RIGHT;

    // Speed: full ahead if the head could still brake in time after it, as
    // a few steps of the movement rules foretell; else coast, else brake.
    // Good looks for trouble sooner and so brakes earlier.
    int worst = good ? NEAR_MUD_FACTOR_GOOD : NEAR_MUD_FACTOR_EXPERT;
    for (int k = 0; k < n; k++) {
        const int f = line.factor[(size_t)line_cell_at(line, ahead[k].x, ahead[k].y)];
        if (f + 1 > worst) worst = f + 1;   // the line itself goes there
    }
    int bits = ACTION_FORWARD;
    // A head this slow turns almost on the spot: braking would only back it up.
    if (-v.speed > BRAKED_PX && !safe_ahead(line, v, steer | ACTION_FORWARD, ahead, n, worst))
        bits = safe_ahead(line, v, steer, ahead, n, worst) ? 0 : ACTION_BACK;
    // Facing well away from the aim: turn on a tight circle at a crawl.
    if (std::fabs(turn) > 45.0f) bits = -v.speed > 3.0f ? ACTION_BACK : -v.speed >= 1.2f ? 0 : ACTION_FORWARD;

    if (good) {
        // Good reacts a step late, and lifts off for a moment now and then.
        const int decided = steer;
        steer = memory.late_steer;
        memory.late_steer = decided;
        if (memory.step % 250 >= 200 && memory.step % 250 < 204) bits &= ~ACTION_FORWARD;
    }
    return bits | steer;
}
