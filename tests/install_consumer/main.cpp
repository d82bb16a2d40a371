// The installed C++ interface of the virtual module: a module on the manual
// clock in slot 3, a move through the installed library, and the module's
// view of where the axis went.
#include <Velkor.h>
#include <velkor_sim/virtual_module.h>

#include <chrono>

int main()
{
    velkor_sim::VirtualModule module; // the manual clock
    if (!module.PlugInto(3) || Velkor_REGISTRATION(0, 3) != 1) {
        return 1;
    }
    Velkor_SET_LP(0, 1, -4000);
    Velkor_SET_V(0, 1, 20000);
    Velkor_FIXED_MOVE(0, 1, 1500);
    if (!module.AdvanceUntilStopped(1, std::chrono::seconds(10))) {
        return 2;
    }
    const velkor_sim::AxisStatus axis = module.Axis(0);
    return axis.lp == -2500 && axis.machine == 1500 && Velkor_GET_LP(0, 1) == -2500 ? 0 : 3;
}
