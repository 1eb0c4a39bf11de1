// halvoren-capture: the show rendered offline, frame by frame.
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "Capture.h"
#include "Version.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("halvoren-capture %s\n", halvorenVersion());
        return 0;
    }
    CaptureOptions options;
    std::string error;
    if (!parseCaptureArgs(argc, argv, options, error)) {
        if (error == "help") {
            std::fputs(kCaptureUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "halvoren-capture: %s\n%s", error.c_str(), kCaptureUsage);
        return 2;
    }
    options.progress = isatty(STDOUT_FILENO);

    const CaptureResult result = runCapture(options);
    if (result.status != 0) {
        // The same words as the show for a show that cannot start.
        std::fprintf(stderr, "halvoren: %s\n", result.error.c_str());
        return result.status;
    }
    const double drawing = result.renderSeconds - result.fastForwardMs / 1000;
    const double fps = drawing > 0 ? result.framesRendered / drawing : 0;
    std::printf("captured %u frames, wrote %u, %.1f frames/s at %dx%d; fast-forwarded %u frames in %.1f s; loading %.0f ms\n",
                result.framesRendered, result.framesWritten, fps, options.width, options.height,
                result.framesFastForwarded, result.fastForwardMs / 1000, result.loadingMs);
    return 0;
}
