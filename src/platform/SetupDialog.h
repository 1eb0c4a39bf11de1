// The setup dialog, in GTK 3: a preview picture over the resolution, refresh
// rate, multisampling and "Windowed" choices, and the buttons "Demo" and "Die".
#pragma once

#include "engine/DemoTypes.h"

typedef struct _GtkWidget GtkWidget;
class DataFileService;
class DisplayModeList;
class GlWindow;
struct PixelImage;

// Whether a dialog can be shown at all: not when SDL_VIDEODRIVER asks for
// the offscreen or dummy driver, and only where GTK can open a display.
bool setupDialogPossible();

// Decodes "menu.jpg", probes multisampling on the window's driver, shows the
// dialog and waits.  True when the viewer pressed "Demo" (choice written),
// false when they left.  A missing or broken "menu.jpg" throws FatalError.
bool runSetupDialog(DisplayChoice& choice, const DisplayModeList& modes, DataFileService& files, GlWindow& window);

class SetupDialog {
public:
    enum class Outcome { Pending, Demo, Die };

    static constexpr int kPreviewWidth = 512, kPreviewHeight = 359;   // pixels, shown unscaled
    static constexpr int kPreviewGrey = 63;                             // under a picture smaller than that

    // Builds the dialog without showing it; GTK must be initialised.  preview
    // may be null; maxSamples is the largest count the probe found (0: none).
    SetupDialog(const DisplayModeList& modes, const PixelImage* preview, int maxSamples);
    ~SetupDialog();
    SetupDialog(const SetupDialog&) = delete;
    SetupDialog& operator=(const SetupDialog&) = delete;

    // Shows the dialog centred and above other windows, and runs GTK's loop
    // until the viewer decides.  Demo: true with choice written.
    bool run(DisplayChoice& choice);

    Outcome outcome() const { return outcome_; }
    // What "Demo" wrote; meaningful once outcome() is Demo.
    const DisplayChoice& chosen() const { return chosen_; }

    // The widgets, for whoever drives the dialog without a viewer.
    GtkWidget* window() const { return window_; }
    GtkWidget* resolutionList() const { return resolutions_; }
    GtkWidget* rateList() const { return rates_; }
    GtkWidget* samplesList() const { return samples_; }
    GtkWidget* windowedCheck() const { return windowed_; }
    GtkWidget* demoButton() const { return demo_; }
    GtkWidget* dieButton() const { return die_; }
    GtkWidget* preview() const { return preview_; }

private:
    void fillRefreshRates(int modeIndex);
    void takeChoice();
    void decide(Outcome outcome) { if (outcome_ == Outcome::Pending) outcome_ = outcome; }

    static void onResolutionChanged(GtkWidget* list, SetupDialog* self);
    static void onDemo(GtkWidget* button, SetupDialog* self);
    static void onDie(GtkWidget* button, SetupDialog* self);
    static int onKeyPress(GtkWidget* window, void* event, SetupDialog* self);
    static int onDelete(GtkWidget* window, void* event, SetupDialog* self);

    const DisplayModeList& modes_;   // not owned; outlives the dialog
    Outcome       outcome_ = Outcome::Pending;
    DisplayChoice chosen_;
    GtkWidget*    window_ = nullptr;   // owned: destroyed with the dialog; children go with it
    GtkWidget*    preview_ = nullptr;
    GtkWidget*    resolutions_ = nullptr;
    GtkWidget*    rates_ = nullptr;
    GtkWidget*    samples_ = nullptr;
    GtkWidget*    windowed_ = nullptr;
    GtkWidget*    demo_ = nullptr;
    GtkWidget*    die_ = nullptr;
};
