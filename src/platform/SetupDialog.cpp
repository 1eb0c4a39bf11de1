#include "platform/SetupDialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtk/gtk.h>

#include "platform/DisplayModeList.h"
#include "platform/GlWindow.h"
#include "resources/Image.h"

namespace {

constexpr const char* kPreviewName = "menu.jpg";
constexpr const char* kTitle = "Halvoren";
constexpr int kMargin = 8;            // pixels around and between the choices
constexpr int kButtonWidth = 90;      // pixels
constexpr int kLargestSamples = 16;   // the multisampling list stops here whatever the probe says

// One list entry, as printf would write it.
void append(GtkWidget* list, const char* format, int a, int b = 0) {
    char text[48];
    std::snprintf(text, sizeof text, format, a, b);
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list), text);
}

GtkWidget* label(const char* text) {
    GtkWidget* l = gtk_label_new(text);
    gtk_widget_set_halign(l, GTK_ALIGN_END);
    return l;
}

// The preview at its real size: grey, with as much of the picture as fits.
GdkPixbuf* previewPixbuf(const PixelImage* image) {
    const int w = SetupDialog::kPreviewWidth, h = SetupDialog::kPreviewHeight;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    const guint32 grey = SetupDialog::kPreviewGrey;
    gdk_pixbuf_fill(pixbuf, (grey << 24) | (grey << 16) | (grey << 8) | 0xFF);
    if (!image || !image->pixels || image->bytesPerPixel < 3) return pixbuf;
    guchar* out = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const int bpp = image->bytesPerPixel;
    const int rows = image->height < h ? image->height : h;
    const int cols = image->width < w ? image->width : w;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            const uint8_t* src = image->pixels + (size_t(y) * size_t(image->width) + size_t(x)) * size_t(bpp);
            std::memcpy(out + size_t(y) * size_t(stride) + size_t(x) * 3, src, 3);
        }
    return pixbuf;
}

}  // namespace

bool setupDialogPossible() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) return false;
    // GTK would switch the process to the user's locale, and with it how
    // numbers are read and written; the show keeps the C locale.
    gtk_disable_setlocale();
    return gtk_init_check(nullptr, nullptr);
}

SetupDialog::SetupDialog(const DisplayModeList& modes, const PixelImage* preview, int maxSamples) : modes_(modes) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), kTitle);
    gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(window_), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);

    GdkPixbuf* pixbuf = previewPixbuf(preview);
    preview_ = gtk_image_new_from_pixbuf(pixbuf);
    g_object_unref(pixbuf);

    resolutions_ = gtk_combo_box_text_new();
    for (int i = 0; i < modes_.count(); ++i) append(resolutions_, "  %dx%d", modes_.at(i)->width, modes_.at(i)->height);
    rates_ = gtk_combo_box_text_new();
    fillRefreshRates(modes_.defaultIndex());
    g_signal_connect(resolutions_, "changed", G_CALLBACK(onResolutionChanged), this);

    samples_ = gtk_combo_box_text_new();
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(samples_), "  Disabled");
    for (int n = 2; n <= maxSamples && n <= kLargestSamples; n *= 2) append(samples_, "  %d samples", n);
    gtk_combo_box_set_active(GTK_COMBO_BOX(samples_), 0);

    windowed_ = gtk_check_button_new_with_label("Windowed");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(windowed_), FALSE);

    demo_ = gtk_button_new_with_label("Demo");
    die_ = gtk_button_new_with_label("Die");
    gtk_widget_set_size_request(demo_, kButtonWidth, -1);
    gtk_widget_set_size_request(die_, kButtonWidth, -1);
    g_signal_connect(demo_, "clicked", G_CALLBACK(onDemo), this);
    g_signal_connect(die_, "clicked", G_CALLBACK(onDie), this);

    // Two rows of labelled choices under the picture, the buttons below them;
    // the tab order follows the reading order.
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), kMargin / 2);
    gtk_grid_set_column_spacing(GTK_GRID(grid), kMargin);
    gtk_widget_set_halign(grid, GTK_ALIGN_CENTER);
    gtk_grid_attach(GTK_GRID(grid), label("Resolution:"), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), resolutions_, 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), label("Hz:"), 2, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), rates_, 3, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), label("Multisampling:"), 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), samples_, 1, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), windowed_, 2, 1, 2, 1);

    GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_CENTER);
    gtk_box_set_spacing(GTK_BOX(buttons), 4 * kMargin);
    gtk_container_add(GTK_CONTAINER(buttons), demo_);
    gtk_container_add(GTK_CONTAINER(buttons), die_);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, kMargin);
    gtk_widget_set_margin_bottom(column, kMargin);
    gtk_box_pack_start(GTK_BOX(column), preview_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), grid, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), buttons, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window_), column);

    // "Demo" is the default: Enter starts the show unless "Die" has the focus.
    gtk_widget_set_can_default(demo_, TRUE);
    gtk_window_set_default(GTK_WINDOW(window_), demo_);
    gtk_widget_grab_focus(demo_);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKeyPress), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
}

SetupDialog::~SetupDialog() {
    gtk_widget_destroy(window_);
    // Let the unmap reach the server before the show opens its own window.
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void SetupDialog::fillRefreshRates(int modeIndex) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(resolutions_), modeIndex);
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(rates_));
    const DisplayMode* mode = modes_.at(modeIndex);
    if (!mode) return;
    for (int32_t hz : mode->refreshRates) append(rates_, " %d", hz);
    gtk_combo_box_set_active(GTK_COMBO_BOX(rates_), 0);
}

void SetupDialog::takeChoice() {
    chosen_ = DisplayChoice{};
    const DisplayMode* mode = modes_.at(gtk_combo_box_get_active(GTK_COMBO_BOX(resolutions_)));
    const int rate = gtk_combo_box_get_active(GTK_COMBO_BOX(rates_));
    if (mode && rate >= 0 && size_t(rate) < mode->refreshRates.size()) {
        chosen_.width = mode->width;
        chosen_.height = mode->height;
        chosen_.refreshRate = mode->refreshRates[size_t(rate)];
        chosen_.fullscreen = !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(windowed_));
    }
    // Without a mode to switch to, the show still runs: in the initial window.
    const int entry = gtk_combo_box_get_active(GTK_COMBO_BOX(samples_));
    chosen_.samples = entry > 0 ? 1 << entry : 0;
}

bool SetupDialog::run(DisplayChoice& choice) {
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));
    while (outcome_ == Outcome::Pending) gtk_main_iteration();
    if (outcome_ != Outcome::Demo) return false;
    choice.width = chosen_.width;
    choice.height = chosen_.height;
    choice.refreshRate = chosen_.refreshRate;
    choice.samples = chosen_.samples;
    choice.fullscreen = chosen_.fullscreen;
    return true;
}

void SetupDialog::onResolutionChanged(GtkWidget* list, SetupDialog* self) {
    // fillRefreshRates selects the entry again, which is no change and no new signal.
    self->fillRefreshRates(gtk_combo_box_get_active(GTK_COMBO_BOX(list)));
}

void SetupDialog::onDemo(GtkWidget*, SetupDialog* self) {
    if (self->outcome_ != Outcome::Pending) return;
    self->takeChoice();
    self->decide(Outcome::Demo);
}

void SetupDialog::onDie(GtkWidget*, SetupDialog* self) { self->decide(Outcome::Die); }

int SetupDialog::onKeyPress(GtkWidget* window, void* event, SetupDialog* self) {
    const guint key = static_cast<GdkEventKey*>(event)->keyval;
    if (key == GDK_KEY_Escape) {
        self->decide(Outcome::Die);
        return TRUE;
    }
    if (key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter) {
        // A focused button answers Enter itself; anywhere else it means "Demo".
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
        if (focus == self->demo_ || focus == self->die_) return FALSE;
        onDemo(self->demo_, self);
        return TRUE;
    }
    return FALSE;
}

int SetupDialog::onDelete(GtkWidget*, void*, SetupDialog* self) {
    self->decide(Outcome::Die);
    return TRUE;   // the dialog's owner destroys the window
}

bool runSetupDialog(DisplayChoice& choice, const DisplayModeList& modes, DataFileService& files, GlWindow& window) {
    PixelImage preview;
    decodeImage(preview, kPreviewName, files);
    const int maxSamples = window.probeMultisample();
    bool demo = false;
    {
        SetupDialog dialog(modes, &preview, maxSamples);
        freeBlock(preview.pixels);
        demo = dialog.run(choice);
    }
    return demo;
}
