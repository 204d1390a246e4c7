// GtkUpdateUserDriver: each window is a plain GtkWindow built from a headline, a text, an
// optional extra widget and buttons. Not GtkDialog: without a parent window, which a tray
// program never has, GTK prints a message each time one is mapped.
#include "updater/GtkUpdateUserDriver.h"

#include <utility>
#include <vector>

#include "updater/GlibHandles.h"

namespace nubrel {
namespace {

constexpr const char* kWindowTitle = "Software Update";
constexpr gint kTextWidthChars = 56;

using Action = std::function<void()>;

// Connects a std::function, owned by the signal handler and freed with it.
template <typename Signature, Signature* callback>
void connect(GtkWidget* widget, const char* signal, Action action) {
  g_signal_connect_data(
      widget, signal, G_CALLBACK(callback), new Action(std::move(action)),
      [](gpointer data, GClosure*) { delete static_cast<Action*>(data); }, GConnectFlags{});
}

void runClicked(GtkButton*, gpointer action) {
  (*static_cast<Action*>(action))();
}
gboolean runActivateLink(GtkLinkButton*, gpointer action) {
  (*static_cast<Action*>(action))();
  return TRUE;  // handled: GTK's own handler would open the page a second time
}

GtkWidget* makeLabel(const std::string& text, bool headline) {
  GtkWidget* label = gtk_label_new(text.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), kTextWidthChars);
  if (headline) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    pango_attr_list_insert(attributes, pango_attr_scale_new(1.2));
    gtk_label_set_attributes(GTK_LABEL(label), attributes);
    pango_attr_list_unref(attributes);
  }
  return label;
}

// Without a parent: given one, GTK 3.24 finishes the launch on a later turn of the main loop and
// then asks the window for its display, by which time the window has been destroyed.
bool openWithGtk(const std::string& uri) {
  GError* error = nullptr;
  const bool opened = gtk_show_uri_on_window(nullptr, uri.c_str(), GDK_CURRENT_TIME, &error);
  const GErrorPtr owned(error);
  return opened;
}

}  // namespace

struct GtkUpdateUserDriver::Content {
  struct Button {
    std::string label;
    Action action;  // null: the button closes the window
  };
  std::string headline;
  std::string text{};
  GtkWidget* extra = nullptr;  // floating; placed between the text and the buttons
  std::vector<Button> buttons;
};

void GtkUpdateUserDriver::WidgetDestroy::operator()(GtkWidget* widget) const {
  gtk_widget_destroy(widget);
  g_object_unref(widget);
}

GtkUpdateUserDriver::GtkUpdateUserDriver() : GtkUpdateUserDriver(openWithGtk) {}

GtkUpdateUserDriver::GtkUpdateUserDriver(PageOpener opener) : opener_(std::move(opener)) {}

GtkUpdateUserDriver::~GtkUpdateUserDriver() {
  dismiss();
}

void GtkUpdateUserDriver::showCheckingForUpdates(std::function<void()> cancel) {
  GtkWidget* spinner = gtk_spinner_new();
  gtk_spinner_start(GTK_SPINNER(spinner));
  present({.headline = "Checking for updates…", .extra = spinner, .buttons = {{"Cancel", {}}}},
          std::move(cancel));
}

void GtkUpdateUserDriver::showUpdateFound(const UpdateOffer& offer, std::function<void()> install) {
  const std::string question = install
                                   ? "Would you like to download and install it now?"
                                   : "Would you like to learn more about this update on the web?";
  Content content{.headline = "A new version of " + offer.appName + " is available!",
                  .text = offer.appName + " " + offer.newVersion + " is now available—you have " +
                          offer.currentVersion + ". " + question,
                  .buttons = {{"Remind Me Later", {}}}};
  if (offer.releaseNotesURL) {
    content.extra = gtk_link_button_new_with_label(offer.releaseNotesURL->c_str(), "Release Notes");
    gtk_widget_set_halign(content.extra, GTK_ALIGN_START);
    connect<gboolean(GtkLinkButton*, gpointer), runActivateLink>(
        content.extra, "activate-link", [this, uri = *offer.releaseNotesURL] { openPage(uri); });
  }
  if (install) {
    content.buttons.push_back({"Install Update", std::move(install)});
  } else if (offer.pageURL) {
    content.buttons.push_back({"Learn More…", [this, uri = *offer.pageURL] { openPage(uri); }});
  }
  present(content, {});
}

void GtkUpdateUserDriver::showDownloading(std::function<void()> cancel) {
  GtkWidget* spinner = gtk_spinner_new();
  gtk_spinner_start(GTK_SPINNER(spinner));
  present({.headline = "Downloading update…", .extra = spinner, .buttons = {{"Cancel", {}}}},
          std::move(cancel));
}

void GtkUpdateUserDriver::showInstalling() {
  GtkWidget* spinner = gtk_spinner_new();
  gtk_spinner_start(GTK_SPINNER(spinner));
  present({.headline = "Installing update…",
           .text = "The system may ask for your password to install the new version.",
           .extra = spinner,
           .buttons = {}},
          {});
}

void GtkUpdateUserDriver::showUpdateInstalled(const UpdateOffer& offer) {
  present({.headline = "Update installed",
           .text = offer.appName + " " + offer.newVersion + " has been installed. Quit " +
                   offer.appName + " and start it again to use the new version.",
           .buttons = {{"OK", {}}}},
          {});
}

void GtkUpdateUserDriver::showInstallCommand(const std::string& command) {
  // Selectable, so that the command can be copied into a terminal.
  GtkWidget* commandLabel = gtk_label_new(command.c_str());
  gtk_label_set_selectable(GTK_LABEL(commandLabel), TRUE);
  gtk_label_set_line_wrap(GTK_LABEL(commandLabel), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(commandLabel), PANGO_WRAP_CHAR);
  gtk_label_set_xalign(GTK_LABEL(commandLabel), 0.0f);
  present({.headline = "Install the update",
           .text = "The update was downloaded and checked. To install it, run this command in a "
                   "terminal:",
           .extra = commandLabel,
           .buttons = {{"OK", {}}}},
          {});
}

void GtkUpdateUserDriver::showUpToDate(const UpToDateReport& report) {
  std::string text =
      report.appName + " " + report.latestVersion + " is currently the newest version available.";
  if (report.runningVersion) {
    text += "\n(You are currently running version " + *report.runningVersion + ".)";
  }
  present({.headline = "You're up to date!", .text = text, .buttons = {{"OK", {}}}}, {});
}

void GtkUpdateUserDriver::showUpdateError(const UpdateError& error) {
  present({.headline = "Update Error!", .text = updateErrorText(error), .buttons = {{"OK", {}}}},
          {});
}

void GtkUpdateUserDriver::dismiss() {
  onUserClose_ = nullptr;
  window_.reset();  // reset clears window_ before destroying, so onDestroyed sees a stranger
}

void GtkUpdateUserDriver::present(const Content& content, std::function<void()> onUserClose) {
  dismiss();
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), kWindowTitle);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_container_set_border_width(GTK_CONTAINER(window), 18);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_container_add(GTK_CONTAINER(window), box);
  gtk_box_pack_start(GTK_BOX(box), makeLabel(content.headline, true), FALSE, FALSE, 0);
  if (!content.text.empty()) {
    gtk_box_pack_start(GTK_BOX(box), makeLabel(content.text, false), FALSE, FALSE, 0);
  }
  if (content.extra != nullptr) {
    gtk_box_pack_start(GTK_BOX(box), content.extra, FALSE, FALSE, 0);
  }
  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 6);
  gtk_box_pack_end(GTK_BOX(box), buttons, FALSE, FALSE, 0);
  GtkWidget* last = nullptr;
  for (const auto& button : content.buttons) {
    last = gtk_button_new_with_label(button.label.c_str());
    // Closing by a button is the user's doing, like closing by the window manager: both go
    // through onDestroyed.
    Action action = button.action ? button.action : [window] { gtk_widget_destroy(window); };
    connect<void(GtkButton*, gpointer), runClicked>(last, "clicked", std::move(action));
    gtk_container_add(GTK_CONTAINER(buttons), last);
  }

  window_.reset(GTK_WIDGET(g_object_ref(window)));
  onUserClose_ = std::move(onUserClose);
  g_signal_connect(window, "destroy", G_CALLBACK(onDestroyed), this);
  gtk_widget_show_all(window);
  if (last != nullptr) {
    gtk_widget_grab_focus(last);
  }
  gtk_window_present(GTK_WINDOW(window));
}

void GtkUpdateUserDriver::openPage(const std::string& uri) {
  // The window stays when no browser could be started, so the user still sees what was found.
  if (window_ && opener_(uri)) {
    dismiss();
  }
}

void GtkUpdateUserDriver::onDestroyed(GtkWidget* widget, gpointer data) {
  auto* self = static_cast<GtkUpdateUserDriver*>(data);
  if (self->window_.get() != widget) {
    return;
  }
  // GTK holds its own reference while the window is being destroyed.
  g_object_unref(self->window_.release());
  if (auto callback = std::exchange(self->onUserClose_, nullptr)) {
    callback();
  }
}

}  // namespace nubrel
