// GtkTestDisplay: Xvfb's -displayfd option makes it choose a free display and report it, so
// parallel test processes never race for a display number.
#include "updater/GtkTestDisplay.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace nubrel::testing {
namespace {

pid_t xvfbPid = 0;

void stopXvfb() {
  if (xvfbPid > 0) {
    kill(xvfbPid, SIGTERM);
    waitpid(xvfbPid, nullptr, 0);
  }
}

// The display name, e.g. ":12"; empty when Xvfb could not be started.
std::string startXvfb() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    return {};
  }
  const std::string fdText = std::to_string(pipeFds[1]);
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // no stray server when a test process dies
    close(pipeFds[0]);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-nolisten", "tcp", "-screen", "0",
           "1024x768x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  std::string number;
  char c = 0;
  while (pid > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n') {
    number += c;
  }
  close(pipeFds[0]);
  if (pid <= 0 || number.empty()) {
    return {};
  }
  xvfbPid = pid;
  std::atexit(stopXvfb);
  return ":" + number;
}

std::vector<GtkWidget*> descendants(GtkWidget* widget) {
  std::vector<GtkWidget*> all = {widget};
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child != nullptr; child = child->next) {
      for (GtkWidget* w : descendants(GTK_WIDGET(child->data))) {
        all.push_back(w);
      }
    }
    g_list_free(children);
  }
  return all;
}

}  // namespace

bool startGtkOnVirtualDisplay() {
  static const bool started = [] {
    const std::string display = startXvfb();
    if (display.empty()) {
      return false;
    }
    g_setenv("DISPLAY", display.c_str(), TRUE);
    g_setenv("GDK_BACKEND", "x11", TRUE);
    g_unsetenv("WAYLAND_DISPLAY");
    gtk_disable_setlocale();  // the test main pinned the locale
    return gtk_init_check(nullptr, nullptr) == TRUE;
  }();
  return started;
}

std::vector<std::string> labelTexts(GtkWidget* widget) {
  std::vector<std::string> texts;
  for (GtkWidget* w : descendants(widget)) {
    if (GTK_IS_LABEL(w)) {
      texts.emplace_back(gtk_label_get_text(GTK_LABEL(w)));
    }
  }
  return texts;
}

GtkButton* findButton(GtkWidget* widget, const std::string& text) {
  for (GtkWidget* w : descendants(widget)) {
    const char* label = GTK_IS_BUTTON(w) ? gtk_button_get_label(GTK_BUTTON(w)) : nullptr;
    if (label != nullptr && text == label) {
      return GTK_BUTTON(w);
    }
  }
  return nullptr;
}

std::vector<GtkWindow*> visibleWindows() {
  std::vector<GtkWindow*> windows;
  GList* all = gtk_window_list_toplevels();
  for (GList* w = all; w != nullptr; w = w->next) {
    if (gtk_widget_get_visible(GTK_WIDGET(w->data))) {
      windows.push_back(GTK_WINDOW(w->data));
    }
  }
  g_list_free(all);
  return windows;
}

}  // namespace nubrel::testing
