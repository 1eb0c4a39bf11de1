// The setup dialog on a private X server, driven the way a viewer drives it:
// list selections, clicks and keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "VirtualDisplay.h"
#include "platform/DisplayModeList.h"
#include "platform/SetupDialog.h"
#include "resources/Image.h"

using hlvtest::VirtualDisplay;

namespace {

class SetupDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        HLV_REQUIRE_X(VirtualDisplay::shared());
        HLV_REQUIRE_DEVICE(gtk_init_check(nullptr, nullptr), "GTK cannot open " << VirtualDisplay::shared().name());
        modes.enumerate({{1280, 1024, 32, 60}, {1024, 768, 32, 75}, {1024, 768, 32, 60}, {1280, 960, 32, 60},
                         {1280, 960, 32, 50}, {1024, 768, 32, 85}, {800, 600, 32, 72}});
    }
    DisplayModeList modes;
};

using Texts = std::vector<std::string>;

Texts texts(GtkWidget* list) {
    Texts out;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(list));
    GtkTreeIter it;
    gchar* text = nullptr;
    for (bool more = gtk_tree_model_get_iter_first(model, &it); more; more = gtk_tree_model_iter_next(model, &it))
        gtk_tree_model_get(model, &it, 0, &text, -1), out.push_back(text), g_free(text);
    return out;
}

int active(GtkWidget* list) { return gtk_combo_box_get_active(GTK_COMBO_BOX(list)); }

// Waits for the X server first, so a late map or focus event cannot land after the next key.
void settle() {
    gdk_display_sync(gdk_display_get_default());
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// A key pressed and released, put through GTK as if the X server had delivered it.
void press(SetupDialog& dialog, guint key) {
    GdkWindow* window = gtk_widget_get_window(dialog.window());
    ASSERT_NE(window, nullptr) << "the dialog is not shown";
    GdkDisplay* display = gdk_window_get_display(window);
    GdkKeymapKey* codes = nullptr;   // the key bindings go by the hardware code
    gint n = 0;
    gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), key, &codes, &n);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.keyval = key;
        event->key.hardware_keycode = n > 0 ? guint16(codes[0].keycode) : 0;
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }
    g_free(codes);
    settle();
}

std::vector<int> fields(const DisplayChoice& c) { return {c.width, c.height, c.bitsPerPixel, c.refreshRate, c.samples, c.fullscreen}; }

TEST_F(SetupDialogTest, ListsPreviewAndDemoWritingTheChoice) {
    uint8_t pixels[2 * 2 * 3] = {200, 10, 20, 0, 0, 0, 0, 0, 0, 1, 2, 3};   // 2 x 2, R G B, top row first
    const PixelImage picture{2, 2, 3, pixels};
    SetupDialog dialog(modes, &picture, 8);

    EXPECT_EQ(texts(dialog.resolutionList()), (Texts{"  800x600", "  1024x768", "  1280x960", "  1280x1024"}));
    EXPECT_EQ(texts(dialog.rateList()), (Texts{" 60", " 75", " 85"}));
    EXPECT_EQ(texts(dialog.samplesList()), (Texts{"  Disabled", "  2 samples", "  4 samples", "  8 samples"}));
    EXPECT_EQ((std::vector<int>{active(dialog.resolutionList()), active(dialog.rateList()), active(dialog.samplesList()),
                                gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dialog.windowedCheck()))}),
              (std::vector<int>{1, 0, 0, 0})) << "1024x768 is preselected";

    GdkPixbuf* shown = gtk_image_get_pixbuf(GTK_IMAGE(dialog.preview()));
    ASSERT_TRUE(shown && gdk_pixbuf_get_width(shown) > 511 && gdk_pixbuf_get_height(shown) > 358);
    const guchar* px = gdk_pixbuf_get_pixels(shown);
    const int stride = gdk_pixbuf_get_rowstride(shown), n = gdk_pixbuf_get_n_channels(shown);
    auto rgb = [&](int x, int y) { const guchar* p = px + y * stride + x * n; return std::vector<int>{p[0], p[1], p[2]}; };
    EXPECT_EQ(rgb(0, 0), (std::vector<int>{200, 10, 20})) << "the picture's top row on top, in R G B";
    EXPECT_EQ(rgb(1, 1), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(rgb(511, 358), (std::vector<int>{63, 63, 63})) << "grey around it";

    gtk_combo_box_set_active(GTK_COMBO_BOX(dialog.rateList()), 2);
    gtk_combo_box_set_active(GTK_COMBO_BOX(dialog.resolutionList()), 2);
    EXPECT_EQ(texts(dialog.rateList()), (Texts{" 50", " 60"}));
    EXPECT_EQ(active(dialog.rateList()), 0) << "the lowest rate of the new size";
    gtk_combo_box_set_active(GTK_COMBO_BOX(dialog.rateList()), 1);
    gtk_combo_box_set_active(GTK_COMBO_BOX(dialog.samplesList()), 2);
    gtk_button_clicked(GTK_BUTTON(dialog.demoButton()));
    ASSERT_EQ(dialog.outcome(), SetupDialog::Outcome::Demo);
    EXPECT_EQ(fields(dialog.chosen()), (std::vector<int>{1280, 960, 32, 60, 4, true}));

    // No modes and no probe: the show still gets a window it can open.
    const DisplayModeList none;
    SetupDialog empty(none, nullptr, 0);
    gtk_button_clicked(GTK_BUTTON(empty.demoButton()));
    EXPECT_EQ(fields(empty.chosen()), (std::vector<int>{800, 600, 32, 60, 0, false}));
}

// The dialog's own loop returns when the viewer decides, and only then; keys
// and closing the window decide once: Escape leaves, Tab moves the focus,
// Enter presses the focused button (Demo from anywhere else) and space ticks
// Windowed, which Demo then writes as a windowed choice.  Die leaves the
// choice alone.
TEST_F(SetupDialogTest, RunWaitsForKeysAndClosingThatDecideOnce) {
    using O = SetupDialog::Outcome;
    struct Case {
        GtkWidget* (SetupDialog::*focus)() const;
        std::vector<guint> keys;   // none: the window is closed instead
        O want;
        SetupDialog* dialog = nullptr;
        int ticks = 0;   // of the dialog's loop; the viewer acts on the third
    } cases[] = {{&SetupDialog::samplesList, {GDK_KEY_Escape}, O::Die},
                 {&SetupDialog::demoButton, {GDK_KEY_Tab, GDK_KEY_Return}, O::Die},
                 {&SetupDialog::windowedCheck, {GDK_KEY_space, GDK_KEY_Return}, O::Demo},
                 {&SetupDialog::samplesList, {}, O::Die}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.keys.empty() ? "close" : gdk_keyval_name(c.keys[0]));
        SetupDialog dialog(modes, nullptr, 0);
        c.dialog = &dialog;
        g_timeout_add(50, [](gpointer data) -> gboolean {
            Case& c = *static_cast<Case*>(data);
            if (++c.ticks < 3) return G_SOURCE_CONTINUE;
            EXPECT_EQ(c.dialog->outcome(), O::Pending);
            gtk_widget_grab_focus((c.dialog->*c.focus)());
            settle();
            for (guint key : c.keys) press(*c.dialog, key);
            if (c.keys.empty()) gtk_window_close(GTK_WINDOW(c.dialog->window()));
            return G_SOURCE_REMOVE;
        }, &c);
        DisplayChoice choice;
        const DisplayChoice want = c.want == O::Demo ? DisplayChoice{1024, 768, 32, 60, 0, false} : choice;
        EXPECT_EQ(dialog.run(choice), c.want == O::Demo);
        EXPECT_EQ(c.ticks, 3);
        EXPECT_EQ(fields(choice), fields(want));
        gtk_button_clicked(GTK_BUTTON(c.want == O::Die ? dialog.demoButton() : dialog.dieButton()));
        EXPECT_EQ(dialog.outcome(), c.want) << "the first decision stands";
    }
}

// Offered where there is a display (the fixture's), not on the offscreen driver.
TEST_F(SetupDialogTest, OfferedOnADisplayOnly) {
    const std::string saved = std::getenv("SDL_VIDEODRIVER") ? std::getenv("SDL_VIDEODRIVER") : "";
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_FALSE(setupDialogPossible());
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_TRUE(setupDialogPossible());
    if (!saved.empty()) setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
}

}  // namespace
