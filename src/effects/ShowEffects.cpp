#include "effects/ShowEffects.h"

#include "effects/FX_CFlare.h"
#include "effects/FX_Column.h"
#include "effects/FX_Credits.h"
#include "effects/FX_CubeFloor.h"
#include "effects/FX_CubeMorph.h"
#include "effects/FX_Final.h"
#include "effects/FX_Flash.h"
#include "effects/FX_GOA.h"
#include "effects/FX_Greetings.h"
#include "effects/FX_Lines.h"
#include "effects/FX_Metaballs.h"
#include "effects/FX_Null.h"
#include "effects/FX_Present.h"
#include "effects/FX_SphereBump.h"
#include "effects/FX_TorusKnot.h"
#include "effects/FX_Tunnel.h"
#include "effects/FX_Velmor.h"

namespace {

template <class T>
std::unique_ptr<IEffect> make(DemoContext& demo) { return std::make_unique<T>(demo); }

}  // namespace

std::vector<EffectFactory> showEffects() {
    return {
        make<FX_Null>,         // "Null"
        make<FX_Flash>,        // "Flash"
        make<FX_Velmor>,       // "VelmorFX"
        make<FX_Present>,      // "Present"
        make<FX_CubeMorph>,    // "CubeMorph"
        make<FX_CubeFloor>,    // "CubeFloor"
        make<FX_CFlare>,       // "CFlare"
        make<FX_GOA>,          // "604Effect"
        make<FX_Credits>,      // "Credits"
        make<FX_Column>,       // "Column"
        make<FX_Lines>,        // "Lines"
        make<FX_TorusKnot>,    // "KnotPQ"
        make<FX_Greetings>,    // "Greetings"
        make<FX_Tunnel>,       // "Tunnel"
        make<FX_Metaballs>,    // "Metaballs"
        make<FX_SphereBump>,   // "SphereBump"
        make<FX_Final>,        // "Final"
    };
}
