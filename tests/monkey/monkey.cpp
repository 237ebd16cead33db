// The monkey: the real player under a window manager on a private session bus, with a list of
// other people's MP3 files, driven for a while by random clicks, drags, wheel turns, keys from
// its key tables, menus, choosers and dialogs, playerctl, theme changes and dropped files.
// Every few hundred actions it checks that the player still answers on the bus and draws; at
// the end, that no sanitizer spoke and every settings file parses.
//
//   ravlox_monkey [--seconds=60] [--seed=N] [--check-every=100] [--trace=FILE]
//
// The seed fixes which actions come in which order (what the player does in between depends
// on timing). Exit status 0 when nothing went wrong, 1 on a fault, 77 when a tool is missing.
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gui/hitbox.h"
#include "gui/window_main.h"
#include "gui/window_playlist.h"
#include "support/harness.h"
#include "theme/catalogue.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void sleep_ms(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

constexpr const char *SKIN_WINDOWS[] = {"ravlox main", "ravlox equalizer", "ravlox playlist"};
enum { MAIN, EQUALIZER, PLAYLIST };

// What a sanitizer prints when it finds something.
constexpr const char *SANITIZER_MARKS[] = {"ERROR: AddressSanitizer", "AddressSanitizer:DEADLYSIGNAL",
                                           "runtime error:", "SUMMARY: UndefinedBehaviorSanitizer",
                                           "ERROR: LeakSanitizer"};
// What GLib and GTK print about a caller's mistake.
constexpr const char *TOOLKIT_MARKS[] = {"-CRITICAL **", "-WARNING **"};

struct Options {
    int seconds = 60;
    uint64_t seed = 0;
    int check_every = 100;
    std::string trace;
};

bool starts_with(const std::string &s, const std::string &prefix) { return s.rfind(prefix, 0) == 0; }

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class Monkey {
public:
    explicit Monkey(const Options &o) : o_(o), rng_(o.seed), side_(o.seed ^ 0x5eed5eedULL) {}

    int run();

private:
    // ---- randomness: rng_ for what to do next, side_ for answers that depend on what is seen
    uint64_t below(uint64_t n) { return n == 0 ? 0 : rng_() % n; }
    int between(int lo, int hi) { return lo + static_cast<int>(below(static_cast<uint64_t>(hi - lo + 1))); }
    bool chance(int percent) { return static_cast<int>(below(100)) < percent; }
    template <class T> const T &pick(const std::vector<T> &v) { return v[below(v.size())]; }

    // ---- set-up
    bool prepare();
    bool start_player();
    void collect_files();

    // ---- the player's windows
    std::vector<std::pair<std::string, std::string>> visible_windows(); // id, title
    std::string skin_window(int which);
    bool show(int which);
    std::optional<Geometry> geometry(const std::string &id) { return x_->window_geometry(id); }

    // ---- actions
    void act();
    void click(int which);
    void drag(int which);
    void wheel(int which);
    void key(int which);
    void menu();
    void player_control();
    void theme();
    void dialog();
    void drop(int which);
    void close_extra_windows();
    void answer_chooser(const std::string &id, const std::string &title);
    bool activate_action(const std::string &name);

    // ---- checks
    bool check();
    bool answers_on_bus();
    bool draws();
    void bring_windows_back();
    void finish_player(const char *why);
    bool settings_parse();

    void note(const std::string &what);
    void fault(const std::string &what);
    ProgramResult ctl(std::vector<std::string> args);

    Options o_;
    std::mt19937_64 rng_;
    std::mt19937_64 side_;
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<SessionBus> bus_;
    std::unique_ptr<Xvfb> x_;
    std::unique_ptr<ProgramProcess> player_;
    std::string data_, list_, template_, template_wsz_, broken_wsz_, capture_;
    std::vector<std::string> songs_, folders_, m3us_;
    std::string app_id_;
    std::map<std::string, std::string> titles_;                // window id -> title
    std::vector<std::pair<std::string, std::string>> shown_;  // as last seen
    const tKeyRow *main_keys_ = nullptr, *playlist_keys_ = nullptr;
    int32_t main_key_count_ = 0, playlist_key_count_ = 0;

    std::ofstream trace_;
    std::deque<std::string> recent_;
    Clock::time_point t0_ = Clock::now();
    long actions_ = 0, checks_ = 0, starts_ = 0, quits_ = 0, drops_ = 0;
    std::vector<std::string> faults_;
    std::string errors_; // standard error of every player that has ended
};

void Monkey::note(const std::string &what) {
    const double t = std::chrono::duration<double>(Clock::now() - t0_).count();
    char head[48];
    snprintf(head, sizeof head, "%6ld %7.1fs ", actions_, t);
    const std::string line = head + what;
    trace_ << line << '\n';
    trace_.flush();
    recent_.push_back(line);
    if (recent_.size() > 40)
        recent_.pop_front();
}

void Monkey::fault(const std::string &what) {
    faults_.push_back(what);
    std::cerr << "\nFAULT (seed " << o_.seed << ", action " << actions_ << "): " << what
              << "\nthe last actions:\n";
    for (const std::string &line : recent_)
        std::cerr << "  " << line << '\n';
}

ProgramResult Monkey::ctl(std::vector<std::string> args) {
    std::vector<std::string> argv = {"playerctl", "-p", "ravlox"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_command(argv, bus_->env(), milliseconds(10000));
}

// ---------------------------------------------------------------------------
// Set-up

void Monkey::collect_files() {
    const std::string corpus = corpus_dir();
    for (const char *group : {"mp3", "m3u"}) {
        const fs::path root = fs::path(corpus) / group;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            const std::string p = it->path().string();
            if (it->is_directory())
                folders_.push_back(p);
            else if (std::string(group) == "mp3")
                songs_.push_back(p);
            else
                m3us_.push_back(p);
        }
    }
    // Directory order is the file system's: sort, so that the seed alone decides.
    for (auto *v : {&songs_, &folders_, &m3us_})
        std::sort(v->begin(), v->end());
}

bool Monkey::prepare() {
    dir_ = std::make_unique<TempDir>("ravlox-monkey");
    if (o_.trace.empty())
        o_.trace = *dir_ / "trace.txt";
    trace_.open(o_.trace);
    collect_files();
    if (songs_.empty()) {
        std::cerr << "no corpus at [" << corpus_dir() << "]\n";
        return false;
    }
    main_keys_ = window_main_key_rows(&main_key_count_);
    playlist_keys_ = window_playlist_key_rows(&playlist_key_count_);

    template_ = *dir_ / "template";
    if (!run_program({"--gui.theme.dumptemplate=" + template_ + "/"}).exited_with(0)) {
        std::cerr << "the template theme could not be written\n";
        return false;
    }
    template_wsz_ = *dir_ / "template.wsz";
    run_command({"sh", "-c", "cd '" + template_ + "' && zip -q -r '" + template_wsz_ + "' ."});
    // The template's archive cut in half: its directory at the end is gone.
    broken_wsz_ = *dir_ / "broken.wsz";
    const std::string whole = read_file(template_wsz_);
    write_file(broken_wsz_, whole.substr(0, whole.size() / 2));

    // A list of thirty songs, one that has gone and one that is no song at all.
    std::vector<std::string> chosen;
    for (int k = 0; k < 30; ++k)
        chosen.push_back(pick(songs_));
    chosen.insert(chosen.begin() + between(0, 30), *dir_ / "gone.mp3");
    chosen.insert(chosen.begin() + between(0, 31), broken_wsz_);
    std::string text;
    for (const std::string &s : chosen)
        text += s + "\n";
    list_ = *dir_ / "list.m3u";
    write_file(list_, text);

    data_ = fresh_data_dir(*dir_);
    capture_ = *dir_ / "capture.raw";
    bus_ = std::make_unique<SessionBus>();
    x_ = std::make_unique<Xvfb>(WindowManager::openbox);
    if (!bus_->ok() || !x_->ok()) {
        std::cerr << "no private bus or no display with a window manager\n";
        return false;
    }
    return true;
}

bool Monkey::start_player() {
    ProgramOptions o;
    o.data_dir = data_;
    o.display = x_->display();
    o.alsa = AlsaConfig::File;
    o.capture_file = capture_;
    o.args = {"--playlist.m3u=" + list_};
    o.env = bus_->env();
    // The program never frees what it holds for its whole life: leaks are not faults.
    if (!getenv("ASAN_OPTIONS"))
        o.env.push_back({"ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1"});
    if (!getenv("UBSAN_OPTIONS"))
        o.env.push_back({"UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1"});
    player_ = std::make_unique<ProgramProcess>(o);
    shown_.clear();
    titles_.clear();
    ++starts_;
    note("start the player");
    if (!player_->started() || !x_->wait_window("ravlox main", milliseconds(30000))) {
        fault("the player did not show its main window\n" + player_->err());
        return false;
    }
    if (!wait_until([&] { return ctl({"status"}).exited_with(0); }, milliseconds(20000))) {
        fault("the player did not come onto the bus\n" + player_->err());
        return false;
    }
    // Its application id, whose actions the desktop (and so the monkey) can call.
    const ProgramResult names =
        run_command({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                     "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.ListNames"},
                    bus_->env());
    const size_t at = names.out.find("'org.ravlox.Ravlox");
    app_id_.clear();
    if (at != std::string::npos)
        app_id_ = names.out.substr(at + 1, names.out.find('\'', at + 1) - at - 1);
    return true;
}

// ---------------------------------------------------------------------------
// The player's windows

std::vector<std::pair<std::string, std::string>> Monkey::visible_windows() {
    std::vector<std::pair<std::string, std::string>> found;
    const ProgramResult r =
        x_->xdotool({"search", "--onlyvisible", "--pid", std::to_string(player_->pid())}, milliseconds(5000));
    std::istringstream in(r.out);
    for (std::string id; in >> id;) {
        // Titles change only while the playlist is resized: ask once per window.
        auto known = titles_.find(id);
        if (known == titles_.end() || starts_with(known->second, "FIXME:"))
            known = titles_.insert_or_assign(id, x_->window_title(id)).first;
        found.push_back({id, known->second});
    }
    shown_ = found;
    return found;
}

// The id of one of the three skinned windows while it is shown, else empty (as last seen).
std::string Monkey::skin_window(int which) {
    for (const auto &[id, title] : shown_)
        if (title == SKIN_WINDOWS[which])
            return id;
    return {};
}

// An action meant for a hidden equalizer or playlist shows it instead, by its button in the
// main window, as a user would; false when that cannot be done either.
bool Monkey::show(int which) {
    const std::string id = skin_window(MAIN);
    const auto g = id.empty() ? std::nullopt : geometry(id);
    if (which == MAIN || !g)
        return false;
    tHitBox box{};
    gui_hitbox_from_element(WINDOW_MAIN_WIDTH, WINDOW_MAIN_HEIGHT, &box, 0,
                            ELEM_EQPL_TOGGLE + (which == EQUALIZER ? 6 : 7));
    const int x = (box.x + box.width / 2) * g->width / WINDOW_MAIN_WIDTH;
    const int y = (box.y + box.height / 2) * g->height / WINDOW_MAIN_HEIGHT;
    note(std::string("  show ") + SKIN_WINDOWS[which] + " by its button");
    x_->click(id, x, y);
    return true;
}

// ---------------------------------------------------------------------------
// Actions

void Monkey::click(int which) {
    const int button = chance(85) ? 1 : chance(66) ? 3 : 2;
    const bool twice = chance(12);
    const int fx = between(0, 999), fy = between(0, 999);
    const std::string id = skin_window(which);
    const auto g = id.empty() ? std::nullopt : geometry(id);
    if (!g) {
        note(std::string("click: ") + SKIN_WINDOWS[which] + " is not shown");
        show(which);
        return;
    }
    const int x = fx * g->width / 1000, y = fy * g->height / 1000;
    note(std::string(twice ? "double-click " : "click ") + std::to_string(button) + " " + SKIN_WINDOWS[which] +
         " " + std::to_string(x) + "," + std::to_string(y));
    if (twice)
        x_->double_click(id, x, y, button);
    else
        x_->click(id, x, y, button);
}

void Monkey::drag(int which) {
    const int fx = between(0, 999), fy = between(0, 999);
    // Most drags stay near where they began (sliders, the list); some go across the screen.
    const bool far = chance(25);
    const int dx = far ? between(0, 1279) : between(-80, 80), dy = far ? between(0, 1023) : between(-60, 60);
    const int steps = between(1, 10);
    const std::string id = skin_window(which);
    const auto g = id.empty() ? std::nullopt : geometry(id);
    if (!g) {
        note(std::string("drag: ") + SKIN_WINDOWS[which] + " is not shown");
        show(which);
        return;
    }
    const int x0 = fx * g->width / 1000, y0 = fy * g->height / 1000;
    // Screen coordinates of the end.
    const int x1 = far ? dx : std::clamp(g->x + x0 + dx, 0, 1279);
    const int y1 = far ? dy : std::clamp(g->y + y0 + dy, 0, 1023);
    note(std::string("drag ") + SKIN_WINDOWS[which] + " from " + std::to_string(x0) + "," + std::to_string(y0) +
         " to screen " + std::to_string(x1) + "," + std::to_string(y1) + " in " + std::to_string(steps));
    x_->mouse_down(id, x0, y0);
    const int sx = g->x + x0, sy = g->y + y0;
    for (int k = 1; k <= steps; ++k) {
        sleep_ms(8);
        x_->xdotool({"mousemove", std::to_string(sx + (x1 - sx) * k / steps),
                     std::to_string(sy + (y1 - sy) * k / steps)});
    }
    x_->mouse_up();
}

void Monkey::wheel(int which) {
    const int fx = between(0, 999), fy = between(0, 999);
    const bool up = chance(50);
    const int turns = between(1, 4);
    const std::string id = skin_window(which);
    const auto g = id.empty() ? std::nullopt : geometry(id);
    if (!g) {
        note(std::string("wheel: ") + SKIN_WINDOWS[which] + " is not shown");
        show(which);
        return;
    }
    const int x = fx * g->width / 1000, y = fy * g->height / 1000;
    note(std::string("wheel ") + (up ? "up " : "down ") + std::to_string(turns) + " " + SKIN_WINDOWS[which] + " " +
         std::to_string(x) + "," + std::to_string(y));
    x_->xdotool({"mousemove", "--window", id, std::to_string(x), std::to_string(y), "click", "--repeat",
                 std::to_string(turns), "--delay", "20", up ? "4" : "5"});
}

void Monkey::key(int which) {
    // A row of the window's tables (the playlist's own rows first, then the main window's
    // that every window takes), now and then a key of none.
    std::string keys;
    const int own = which == PLAYLIST ? playlist_key_count_ : 0;
    const int row = between(0, own + main_key_count_ - 1);
    const tKeyRow &r = row < own ? playlist_keys_[row] : main_keys_[row - own];
    keys = std::string((r.mask & GDK_CONTROL_MASK) ? "ctrl+" : "") + gdk_keyval_name(r.keyval);
    if (chance(8)) {
        static const std::vector<std::string> others = {"q", "Escape", "Tab", "space", "F1", "shift+x", "ctrl+q",
                                                        "Caps_Lock x Caps_Lock", "alt+x"};
        keys = pick(others);
    }
    const std::string id = skin_window(which);
    if (id.empty()) {
        note(std::string("key: ") + SKIN_WINDOWS[which] + " is not shown");
        show(which);
        return;
    }
    note(std::string("key ") + keys + " in " + SKIN_WINDOWS[which]);
    x_->key(id, keys);
}

// A menu opened (by its key), then left with Escape or an item chosen with the arrow keys.
void Monkey::menu() {
    const bool choose = chance(50);
    const int downs = between(0, 9);
    const bool sub = chance(30);
    const std::string id = skin_window(MAIN);
    if (id.empty())
        return note("menu: the main window is not shown");
    note(std::string("menu by ctrl+o, then ") +
         (choose ? "Down x" + std::to_string(downs) + (sub ? " Right" : "") + " Return" : "Escape"));
    x_->key(id, "ctrl+o");
    sleep_ms(150);
    if (!choose) {
        x_->xdotool({"key", "Escape"});
        return;
    }
    std::vector<std::string> args = {"key", "--delay", "30"};
    for (int k = 0; k < downs; ++k)
        args.push_back("Down");
    if (sub)
        args.push_back("Right");
    args.push_back("Return");
    x_->xdotool(args);
}

void Monkey::player_control() {
    std::vector<std::string> args;
    switch (below(9)) {
    case 0: args = {"play"}; break;
    case 1: args = {"pause"}; break;
    case 2: args = {"play-pause"}; break;
    case 3: args = {"next"}; break;
    case 4: args = {"previous"}; break;
    case 5: args = {"stop"}; break;
    case 6: args = {"volume", std::to_string(between(0, 120) / 100.0)}; break;
    case 7: args = {"position", std::to_string(between(0, 400))}; break;
    default: args = {"position", std::to_string(between(1, 30)) + (chance(50) ? "+" : "-")}; break;
    }
    std::string text = "playerctl";
    for (const std::string &a : args)
        text += " " + a;
    note(text);
    ctl(args);
}

bool Monkey::activate_action(const std::string &name) {
    if (app_id_.empty())
        return false;
    std::string path = "/" + app_id_;
    std::replace(path.begin(), path.end(), '.', '/');
    return run_command({"gdbus", "call", "--session", "--dest", app_id_, "--object-path", path, "--method",
                        "org.gtk.Actions.Activate", name, "[]", "{}"},
                       bus_->env(), milliseconds(10000))
        .exited_with(0);
}

// Between the default theme, the template (a directory and its archive) and a broken archive;
// the choosers that the last three open are answered by close_extra_windows.
void Monkey::theme() {
    static const std::vector<std::string> actions = {"window_main_menu_skins_default", "window_main_menu_skins",
                                                     "window_main_menu_skins_wsz"};
    const std::string &action = pick(actions);
    note("theme: action " + action);
    activate_action(action);
}

void Monkey::dialog() {
    switch (below(4)) {
    case 0:
        note("dialog: preferences");
        activate_action("window_main_menu_preferences");
        break;
    case 1: {
        const std::string id = skin_window(MAIN);
        note("dialog: licence by ctrl+i");
        if (!id.empty())
            x_->key(id, "ctrl+i");
        break;
    }
    case 2: {
        const std::string id = skin_window(MAIN);
        note("dialog: open a file by n");
        if (!id.empty())
            x_->key(id, "n");
        break;
    }
    default:
        note("dialog: skins from a directory");
        activate_action("window_main_menu_skins");
        break;
    }
}

// Files dragged out of a window of their own and let go over one of the player's.
void Monkey::drop(int which) {
    std::vector<std::string> paths;
    const int n = between(1, 3);
    for (int k = 0; k < n; ++k) {
        switch (below(6)) {
        case 0: case 1: paths.push_back(pick(songs_)); break;
        case 2: paths.push_back(pick(folders_)); break;
        case 3: paths.push_back(m3us_.empty() ? list_ : pick(m3us_)); break;
        case 4: paths.push_back(*dir_ / "gone.mp3"); break;
        default: paths.push_back(chance(50) ? broken_wsz_ : template_); break;
        }
    }
    const int fx = between(0, 999), fy = between(0, 999);
    const std::string id = skin_window(which);
    const auto g = id.empty() ? std::nullopt : geometry(id);
    std::string text = std::string("drop onto ") + SKIN_WINDOWS[which];
    for (const std::string &p : paths)
        text += " [" + p + "]";
    if (!g) {
        note(text + ": not shown");
        show(which);
        return;
    }
    note(text);
    ProgramOptions o;
    o.program = RAVLOX_DRAG_SOURCE;
    o.display = x_->display();
    o.args = paths;
    ProgramProcess source(o);
    auto from = x_->wait_window("ravlox drag source", milliseconds(10000));
    if (!from || !source.wait_for_output("ready", milliseconds(5000))) {
        note("  (the drag source did not come up)");
        return;
    }
    sleep_ms(100);
    auto fg = geometry(*from);
    const int x = fx * g->width / 1000, y = fy * g->height / 1000;
    x_->mouse_down(*from, 60, 40);
    if (fg)
        for (int k = 1; k <= 4; ++k) {
            sleep_ms(30);
            x_->xdotool({"mousemove", std::to_string(fg->x + 60 + k * 10), std::to_string(fg->y + 40)});
        }
    for (int k = 1; k <= 6; ++k) {
        sleep_ms(30);
        x_->mouse_move(id, x + (6 - k) * 3, y);
    }
    sleep_ms(60);
    x_->mouse_up();
    if (source.wait(milliseconds(3000)).has_value())
        ++drops_;
    else
        note("  (the drag did not end)");
}

void Monkey::answer_chooser(const std::string &id, const std::string &title) {
    // Cancelled mostly; else a path typed into its location entry.
    const bool cancel = side_() % 100 < 55;
    std::string path;
    if (!cancel) {
        if (title == "Open Directory" || title.find("irectory") != std::string::npos)
            path = side_() % 3 == 0 ? folders_[side_() % folders_.size()] : template_;
        else if (title == "Open WSZ")
            path = side_() % 2 ? broken_wsz_ : template_wsz_;
        else if (title.find("Save") != std::string::npos)
            path = *dir_ / "saved.m3u";
        else
            path = side_() % 4 == 0 ? m3us_.empty() ? list_ : m3us_[side_() % m3us_.size()]
                                    : songs_[side_() % songs_.size()];
    }
    note("  chooser [" + title + "]: " + (cancel ? std::string("Escape") : "type " + path));
    if (cancel) {
        x_->key(id, "Escape");
        return;
    }
    x_->key(id, "ctrl+l");
    sleep_ms(100);
    x_->type(id, path);
    sleep_ms(100);
    x_->key(id, "Return");
    // A folder's Return opens it; the next takes it.
    if (is_directory(path)) {
        sleep_ms(300);
        x_->key(id, "Return");
    }
}

// Closes what the last action opened: menus, choosers, dialogs.
void Monkey::close_extra_windows() {
    for (int round = 0; round < 6; ++round) {
        bool extra = false;
        for (const auto &[id, title] : visible_windows()) {
            if (std::find(std::begin(SKIN_WINDOWS), std::end(SKIN_WINDOWS), title) != std::end(SKIN_WINDOWS) ||
                starts_with(title, "FIXME:"))
                continue;
            extra = true;
            if (starts_with(title, "Open") || starts_with(title, "Save") || starts_with(title, "Load") ||
                starts_with(title, "Add"))
                answer_chooser(id, title);
            else if (round < 1 || (round < 3 && title == "ravlox")) {
                note("  close [" + title + "] by Escape");
                x_->key(id, "Escape");
            } else {
                note("  close [" + title + "] by the window manager");
                x_->xdotool({"windowactivate", "--sync", id, "key", "--clearmodifiers", "alt+F4"});
            }
        }
        if (!extra)
            return;
        sleep_ms(200);
    }
}

void Monkey::act() {
    ++actions_;
    if (shown_.empty())
        visible_windows();
    const int which = between(0, 99) < 45 ? MAIN : chance(40) ? EQUALIZER : PLAYLIST;
    const int kind = between(0, 999);
    if (kind < 300) click(which);
    else if (kind < 430) drag(which);
    else if (kind < 520) wheel(which);
    else if (kind < 700) key(which);
    else if (kind < 760) menu();
    else if (kind < 880) player_control();
    else if (kind < 910) theme();
    else if (kind < 940) dialog();
    else if (kind < 965) drop(chance(50) ? MAIN : PLAYLIST);
    else {
        const int ms = between(50, 800);
        note("wait " + std::to_string(ms) + " ms");
        sleep_ms(ms);
    }
    close_extra_windows();
}

// ---------------------------------------------------------------------------
// Checks

bool Monkey::answers_on_bus() {
    // Under the sanitizers a busy player may take a while; a hung one never answers.
    return wait_until(
        [&] {
            const std::string out = ctl({"status"}).out;
            return starts_with(out, "Playing") || starts_with(out, "Paused") || starts_with(out, "Stopped");
        },
        milliseconds(20000));
}

// The main window shows a change of volume made on the bus.
bool Monkey::draws() {
    visible_windows();
    const std::string id = skin_window(MAIN);
    if (id.empty())
        return false;
    // On top, so that no other window hides the slider.
    x_->xdotool({"windowactivate", "--sync", id}, milliseconds(5000));
    ctl({"volume", "0.1"});
    sleep_ms(400);
    const Image before = x_->screenshot(id);
    ctl({"volume", "0.9"});
    return wait_until([&] {
        const Image now = x_->screenshot(id);
        return !now.empty() && !(now.width == before.width && now.height == before.height && now.rgb == before.rgb);
    });
}

// Windows minimised, hidden or dragged off the screen come back, so that input reaches them.
void Monkey::bring_windows_back() {
    const ProgramResult r = x_->xdotool({"search", "--name", "^ravlox (main|equalizer|playlist)$"});
    std::istringstream in(r.out);
    for (std::string id; in >> id;) {
        auto g = geometry(id);
        if (!g)
            continue;
        if (x_->window_title(id) == "ravlox main" && x_->find_windows("ravlox main").empty()) {
            note("  bring the main window back");
            x_->xdotool({"windowactivate", id});
        }
        if (g->x < -g->width / 2 || g->y < 0 || g->x > 1280 - 40 || g->y > 1024 - 20) {
            note("  move a window back onto the screen");
            x_->xdotool({"windowmove", id, std::to_string(side_() % 600), std::to_string(side_() % 500)});
        }
    }
}

// Adds a player that has ended to the record; a crash or an abort is a fault, a quit is not.
void Monkey::finish_player(const char *why) {
    auto result = player_->wait(milliseconds(0));
    if (!result)
        result = player_->stop(SIGKILL);
    errors_ += result->err;
    if (result->exited_with(0)) {
        ++quits_;
        note(std::string("the player quit (") + why + ")");
    } else {
        std::ostringstream s;
        s << "the player ended: exit " << result->exit_code << ", signal " << result->term_signal << "\n"
          << result->err.substr(result->err.size() > 6000 ? result->err.size() - 6000 : 0);
        fault(s.str());
    }
}

bool Monkey::check() {
    ++checks_;
    note("check");
    close_extra_windows();
    if (!player_->running()) {
        finish_player("a close button or Quit");
        return start_player();
    }
    bring_windows_back();
    if (!answers_on_bus()) {
        fault("the player no longer answers on the bus");
        return false;
    }
    if (!draws()) {
        const std::string shot = "/tmp/ravlox-monkey-" + std::to_string(o_.seed) + "-stuck.png";
        x_->screenshot().save_png(shot);
        fault("the main window no longer draws (the screen is in " + shot + ")");
        return false;
    }
    // The device file keeps growing while songs play: its start is never read again.
    truncate(capture_.c_str(), 0);
    return true;
}

// Every line of every settings file is key=value, and a player started on them comes up.
bool Monkey::settings_parse() {
    bool ok = true;
    int files = 0;
    for (const std::string &name : list_dir(data_)) {
        if (name.size() < 7 || name.substr(name.size() - 7) != ".config")
            continue;
        ++files;
        const std::string text = read_file(data_ + "/" + name);
        for (const std::string &line : lines_of(text)) {
            const size_t eq = line.find('=');
            const bool clean = std::none_of(line.begin(), line.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 && c != '\t';
            });
            if (eq == std::string::npos || eq == 0 || !clean) {
                fault("the settings file " + name + " has the line [" + line + "]");
                ok = false;
            }
        }
    }
    if (files == 0) {
        fault("no settings file was written");
        ok = false;
    }
    return ok;
}

int Monkey::run() {
    if (const std::string t = missing_program({"xdotool", "playerctl", "gdbus", "dbus-daemon", "openbox",
                                               "Xvfb", "import", "zip"});
        !t.empty()) {
        std::cout << t << " is not installed: the monkey is skipped\n";
        return 77;
    }
    std::cout << "monkey: seed " << o_.seed << ", " << o_.seconds << " s" << std::endl;
    if (!prepare())
        return 1;
    std::cout << "trace: " << o_.trace << std::endl;
    if (!start_player())
        return 1;
    const auto end = Clock::now() + std::chrono::seconds(o_.seconds);
    bool alive = true;
    while (alive && Clock::now() < end) {
        act();
        if (actions_ % o_.check_every == 0 || !player_->running())
            alive = check();
    }
    if (alive)
        alive = check();
    if (player_->running()) {
        player_->stop(SIGTERM);
        errors_ += player_->err();
    } else {
        finish_player("at the end");
    }
    player_.reset();

    for (const char *mark : SANITIZER_MARKS)
        if (errors_.find(mark) != std::string::npos) {
            const size_t at = errors_.find(mark);
            fault(std::string("a sanitizer spoke:\n") + errors_.substr(at > 200 ? at - 200 : 0, 6000));
            break;
        }
    settings_parse();
    // What the player said, most frequent first, for a reader of the log.
    std::map<std::string, int> said;
    int toolkit = 0;
    for (const std::string &line : lines_of(errors_)) {
        ++said[line];
        for (const char *mark : TOOLKIT_MARKS)
            toolkit += line.find(mark) != std::string::npos;
    }
    std::vector<std::pair<int, std::string>> lines;
    for (const auto &[line, n] : said)
        lines.push_back({n, line});
    std::sort(lines.begin(), lines.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (size_t k = 0; k < lines.size() && k < 12; ++k)
        std::cout << "  said " << lines[k].first << "x: " << lines[k].second.substr(0, 160) << '\n';

    const double t = std::chrono::duration<double>(Clock::now() - t0_).count();
    std::cout << "monkey: seed " << o_.seed << ": " << actions_ << " actions in " << static_cast<int>(t)
              << " s, " << checks_ << " checks, " << starts_ << " starts (" << quits_ << " quits), " << drops_
              << " drops, " << toolkit << " toolkit warnings, " << faults_.size() << " faults" << std::endl;
    if (!faults_.empty()) {
        // Kept for reading: the trace lives in the temporary folder otherwise.
        const std::string kept = "/tmp/ravlox-monkey-" + std::to_string(o_.seed) + ".trace";
        fs::copy_file(o_.trace, kept, fs::copy_options::overwrite_existing);
        std::cout << "trace kept in " << kept << std::endl;
    }
    return faults_.empty() ? 0 : 1;
}

bool parse(int argc, char **argv, Options *o) {
    o->seed = static_cast<uint64_t>(time(nullptr)) ^ (static_cast<uint64_t>(getpid()) << 32);
    o->seed %= 1000000007ULL; // short enough to type
    if (const char *s = getenv("RAVLOX_MONKEY_SEED"))
        o->seed = strtoull(s, nullptr, 10);
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        auto value = [&](const char *name) { return a.substr(strlen(name)); };
        if (starts_with(a, "--seconds="))
            o->seconds = atoi(value("--seconds=").c_str());
        else if (starts_with(a, "--seed="))
            o->seed = strtoull(value("--seed=").c_str(), nullptr, 10);
        else if (starts_with(a, "--check-every="))
            o->check_every = std::max(1, atoi(value("--check-every=").c_str()));
        else if (starts_with(a, "--trace="))
            o->trace = value("--trace=");
        else {
            std::cerr << "usage: ravlox_monkey [--seconds=60] [--seed=N] [--check-every=100] [--trace=FILE]\n";
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options o;
    if (!parse(argc, argv, &o))
        return 2;
    return Monkey(o).run();
}
