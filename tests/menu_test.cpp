// The parameter menu through the real program: standard output bytes with
// answers on a file, then typed one line at a time on a terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support.h"

namespace {

const std::string kPrompt = "taper -1,0 pour arreter  --->";

std::string pad40(const std::string& s) { return s + std::string(40 - s.size(), ' '); }

struct Row {
  const char* label;
  const char* field;  // the value in its 12-character field
};

// The defaults as the two menus show them.
const std::vector<Row> kFluid = {
    {"MASSE VOLUMIQUE OU GAZ en kg/m3", "   1.200E+00"},
    {"MASSE VOLUMIQUE OU LIQ. en kg/m3", "   1.000E+03"},
    {"VISCOSITE DYNAMIQUE DU GAZ en Pa s", "   1.812E-05"},
    {"VISCOSITE DYNAMIQUE DU LIQ. en Pa s", "   1.000E-03"},
    {"TENSION DE SURFACE G-L en N/m", "   7.200E-02"},
    {"DIAMETRE DU TUBE en mm", "   2.500E+01"},
    {"LONGUEUR OU TUBE en m", "   2.500E+00"},
};
const std::vector<Row> kMap = {
    {"VIT. superficielle GAZ. MINI en m/s", "      .02000"},
    {"VIT. superficielle GAZ MAXI en m/s", "   200.00000"},
    {"VIT. superficielle LIQ. MINI en m/s", "      .00200"},
    {"VIT. superficielle LIQ. MAXI en m/s", "    20.00000"},
    {"Nombre de points par decade (GAZ)", "    20.00000"},
    {"Nombre de points par decade (LIQ)", "    20.00000"},
};
const std::string kFluidTitle = pad40("CARTE D'ECOULEMENT DE TAITEL ET DUKLER");
const std::string kMapTitle = pad40("PARAMETRES DE LA CARTE");

std::vector<Row> with(std::vector<Row> rows, std::size_t entry, const char* field) {
  rows[entry - 1].field = field;
  return rows;
}

// The records of the menu, as the formatter makes them.
std::string title_record(const std::string& title) { return std::string(19, ' ') + title; }
std::vector<std::string> row_records(const std::vector<Row>& rows) {
  std::vector<std::string> recs;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string n = std::to_string(i + 1);
    recs.push_back(std::string(3 - n.size(), ' ') + n + " ---> " + pad40(rows[i].label) + " : " + rows[i].field);
  }
  return recs;
}

// On the console a record loses its first character; a pending line break
// is written before it, and a line left open takes it whole.
enum class Before { Nothing, LineBreak, OpenLine };
std::string shown(const std::string& rec, Before b) {
  if (b == Before::OpenLine) return rec;
  return (b == Before::LineBreak ? "\r\n" : "") + rec.substr(1);
}

std::string title_block(const std::string& title, Before b) { return shown(title_record(title), b) + "\r\n"; }

std::string table(const std::vector<Row>& rows, Before b) {
  std::vector<std::string> recs = row_records(rows);
  std::string s = shown(recs[0], b);
  for (std::size_t i = 1; i < recs.size(); ++i) s += shown(recs[i], Before::LineBreak);
  return s;
}

// Two empty records, the question, then the two taper lines, the last left
// open for the answer.
std::string prompt() {
  return "\r\n\r\n\r\nEntrer le numero du parametre,nouvelle valeur\r\ntaper 0,0 pour sortir du menu\r\n" + kPrompt;
}

twt::RunResult run_piped(const std::string& input, const twt::TempDir& dir,
                         std::vector<std::pair<std::string, std::string>> env = {}) {
  twt::RunOptions o;
  o.dir = dir.path;
  o.input = input;
  o.env = std::move(env);
  o.timeout_seconds = 60;
  return twt::run(o);
}

// Standard input on a file: the prompt's line stays open across the read, so
// the record after an answer starts whole on it.
TEST(MenuPiped, ChangesThenStopInSecondMenu) {
  twt::TempDir dir;
  // 7,3 changes the tube length; 8,1 is out of range but reads 1; 3/
  // stores that last value read; ,5 reads 5 but changes nothing; 0/ leaves
  // without reading a value. In the map menu 1/ stores that 5 from the
  // first menu, 2,1e7 does not fit f12.5; -1,0 stops.
  twt::RunResult r = run_piped("7,3\n8,1\n3/\n,5\n0/\n1/\n2,1e7\n-1,0\n", dir);
  std::vector<Row> f1 = with(kFluid, 7, "   3.000E+00");
  std::vector<Row> f2 = with(f1, 3, "   1.000E+00");
  std::vector<Row> m1 = with(kMap, 1, "     5.00000");
  std::vector<Row> m2 = with(m1, 2, "************");
  std::string want = title_block(kFluidTitle, Before::Nothing) + table(kFluid, Before::LineBreak) + prompt() +
                     table(f1, Before::OpenLine) + prompt() + table(f1, Before::OpenLine) + prompt() +
                     table(f2, Before::OpenLine) + prompt() + table(f2, Before::OpenLine) + prompt() +
                     title_block(kMapTitle, Before::OpenLine) + table(kMap, Before::LineBreak) + prompt() +
                     table(m1, Before::OpenLine) + prompt() + table(m2, Before::OpenLine) + prompt() +
                     "\r\nRetour DOS\r\n\r\n";
  EXPECT_EQ(r.out, want);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // Stopped before the map: nothing written to the curve file.
  EXPECT_EQ(dir.read("TWOPHMAP.out"), "");
}

TEST(MenuPiped, StopAndEndOfInputInFirstMenu) {
  const std::string first = title_block(kFluidTitle, Before::Nothing) + table(kFluid, Before::LineBreak) + prompt();
  const std::string stop = "\r\nRetour DOS\r\n\r\n";
  struct {
    const char* name;
    std::string input;
    std::string want;
  } cases[] = {
      {"-1,0", "-1,0\n", first + stop},
      {"-7,2", "-7,2\n", first + stop},
      {"end of input", "", first + stop},
      {"end after a change", "3,2.5\n",
       first + table(with(kFluid, 3, "   2.500E+00"), Before::OpenLine) + prompt() + stop},
      {"end after the entry number", "3\n", first + stop},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    twt::TempDir dir;
    twt::RunResult r = run_piped(c.input, dir);
    EXPECT_EQ(r.out, c.want);
    EXPECT_EQ(r.status, 0);
  }
}

// Both menus left with 0,0: the run goes on to the map and the launch (an
// interpreter that succeeds), and the end of the run closes the open line.
TEST(MenuPiped, LeaveBothMenus) {
  twt::TempDir dir;
  twt::RunResult r = run_piped("7,3\n0,5\n3,abc\n", dir, {{"COMSPEC", "/bin/true"}});
  std::vector<Row> f1 = with(kFluid, 7, "   3.000E+00");
  std::string want = title_block(kFluidTitle, Before::Nothing) + table(kFluid, Before::LineBreak) + prompt() +
                     table(f1, Before::OpenLine) + prompt() + title_block(kMapTitle, Before::OpenLine) +
                     table(kMap, Before::LineBreak) + prompt() + "\r\n";
  EXPECT_EQ(r.out, want);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(dir.read("TWOPHMAP.out"), "");
}

// ---------------------------------------------------------------------------
// On a terminal: standard input and output on one pseudo-terminal in line
// mode with echo, output post-processing off so the bytes are the program's
// (and the echo of the typed line).

struct PtyResult {
  std::string out;
  int status = -1;
  bool timed_out = false;
};

std::size_t count_of(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

// Types each answer once the program has shown one more prompt.
PtyResult pty_session(const std::vector<std::string>& answers) {
  PtyResult r;
  twt::TempDir dir;
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return r;
  if (pid == 0) {
    termios t;
    tcgetattr(0, &t);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tcsetattr(0, TCSANOW, &t);
    if (chdir(dir.path.c_str()) != 0) _exit(126);
    execl(TWOPHMAP_EXE, TWOPHMAP_EXE, static_cast<char*>(nullptr));
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::size_t typed = 0;
  for (;;) {
    if (typed < answers.size() && count_of(r.out, kPrompt) > typed) {
      ssize_t w = write(master, answers[typed].data(), answers[typed].size());
      (void)w;
      ++typed;
    }
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 20) > 0) {
      char buf[4096];
      ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;  // the program's side is closed
      r.out.append(buf, static_cast<std::size_t>(n));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      r.timed_out = true;
      break;
    }
  }
  int st = 0;
  waitpid(pid, &st, 0);
  close(master);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return r;
}

TEST(MenuTerminal, AnswersFollowThePromptAndTablesFollowTheAnswer) {
  PtyResult r = pty_session({"7,3\r", "0,0\r", "-1,0\r"});
  ASSERT_FALSE(r.timed_out) << r.out;
  std::string want = title_block(kFluidTitle, Before::Nothing) + table(kFluid, Before::LineBreak) + prompt() +
                     "7,3\n" + table(with(kFluid, 7, "   3.000E+00"), Before::Nothing) + prompt() + "0,0\n" +
                     title_block(kMapTitle, Before::Nothing) + table(kMap, Before::LineBreak) + prompt() +
                     "-1,0\nRetour DOS\r\n";
  EXPECT_EQ(r.out, want);
  EXPECT_EQ(r.status, 0);
}

// A bad entry number fails before its line end is read: the second title
// then starts with a line break, an empty line under the answer. Ctrl-D
// at the prompt leaves the prompt's line owed before the stop message.
TEST(MenuTerminal, FailedAnswerAndCtrlD) {
  const std::string first = title_block(kFluidTitle, Before::Nothing) + table(kFluid, Before::LineBreak) + prompt();
  const std::string second_rest = table(kMap, Before::LineBreak) + prompt();
  struct {
    const char* name;
    std::vector<std::string> answers;
    std::string want;
  } cases[] = {
      {"x,5 then Ctrl-D", {"x,5\r", "\x04"},
       first + "x,5\n" + title_block(kMapTitle, Before::LineBreak) + second_rest + "\r\nRetour DOS\r\n\r\n"},
      {"3,abc then -1,0", {"3,abc\r", "-1,0\r"},
       first + "3,abc\n" + title_block(kMapTitle, Before::Nothing) + second_rest + "-1,0\nRetour DOS\r\n"},
      {"Ctrl-D in the first menu", {"\x04"}, first + "\r\nRetour DOS\r\n\r\n"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    PtyResult r = pty_session(c.answers);
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.out, c.want);
    EXPECT_EQ(r.status, 0);
  }
}

}  // namespace
