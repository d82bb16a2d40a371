// The firmware binds every code of the command table (protocol/decoder.cpp)
// to the family handler that carries it out. A code with no binding is kept
// without effect, or not simulated, as its row says.
#include "firmware/bindings.h"

#include "axis/axis_config.h"
#include "axis/drives.h"
#include "axis/homing.h"
#include "axis/machine.h"
#include "axis/speed_shape.h"
#include "axis/stopping.h"
#include "firmware/card.h"
#include "firmware/firmware.h"
#include "interrupts/interrupt_line.h"
#include "paths/paths.h"
#include "paths/special_paths.h"
#include "protocol/decoder.h"
#include "programs/macro_programs.h"
#include "axis/status.h"
#include "stores/variables.h"
#include "sync/sync.h"

#include <array>

namespace velkor_sim {
namespace detail {
namespace {

// Parameter registers a reader's query reads besides the axis selector.
constexpr int kPortRegister = 100;
constexpr int kInputRegister = 108;

// A reader sent as a packet asks its own query in a scratch window and loads
// the reply into the reader variable: 4-byte replies as signed values,
// shorter ones as they are.
void LoadReader(Firmware& fw, const Bytes& p)
{
    const ExchangeEntry* query = FindExchange(p[0]);
    const ExchangeHandler run = ExchangeHandlerOf(p[0]);
    if (query == nullptr || run == nullptr) {
        fw.Unsimulated(p[0]);
        return;
    }
    Window w{};
    w[kAxisRegister] = p[2];
    w[kPortRegister] = p[2];
    w[kInputRegister] = p[4];
    run(fw, w);
    std::uint32_t reply = 0;
    for (int i = query->replyWidth - 1; i >= 0; --i) {
        reply = reply << 8 | w[kReplyArea + 2 * i];
    }
    fw.stores.longVars[fw.macros.readerVariable] = static_cast<std::int32_t>(reply);
}

// A family that owns its state gets that state, not the firmware.
template <auto member, auto run>
void Own(Firmware& fw, const Bytes& p)
{
    run(fw.*member, p);
}

template <auto member, auto run>
void OwnAnswer(Firmware& fw, Window& w)
{
    run(fw.*member, w);
}

struct PacketBinding {
    std::uint8_t code;
    PacketHandler run;
};

struct ExchangeBinding {
    std::uint8_t code;
    ExchangeHandler run;
};

const PacketBinding kPacketHandlers[] = {
    {12, SetPulseMode}, // SET_PULSE_MODE
    {13, SetMaxV}, // SET_MAX_V
    {14, SetHardLimits}, // SET_HLMT
    {15, LimitStopMode}, // LIMITSTOP_MODE
    {16, SetNearHome}, // SET_NHOME
    {17, SetHomeEdge}, // SET_HOME_EDGE
    {18, SetSoftLimits}, // SET_SLMT
    {19, ClearSoftLimits}, // CLEAR_SLMT
    {20, SetEncoder}, // SET_ENCODER
    {21, ServoOn}, // SERVO_ON
    {22, ServoOff}, // SERVO_OFF
    {23, SetAlarm}, // SET_ALARM
    {24, SetInPosition}, // SET_INPOS
    {25, SetFilter}, // SET_FILTER
    {26, RingEnable}, // VRING_ENABLE
    {27, RingDisable}, // VRING_DISABLE
    {28, AvoidTriangle}, // AVTRI_ENABLE
    {29, AvoidTriangle}, // AVTRI_DISABLE
    {30, ExternalDrive}, // EXD_MP
    {31, ExternalDrive}, // EXD_FP
    {32, ExternalDrive}, // EXD_CP
    {33, ExternalDrive}, // EXD_DISABLE
    {35, Own<&Firmware::stores, WriteByteVar>}, // WRITE_bVAR
    {37, Own<&Firmware::stores, WriteVar>}, // WRITE_VAR
    {39, Own<&Firmware::stores, WriteMd>}, // WRITE_MD
    {40, SetLp}, // SET_LP
    {41, LoadReader}, // GET_LP
    {42, SetEp}, // SET_EP
    {43, LoadReader}, // GET_EP
    {46, LoadReader}, // GET_DI
    {47, LoadReader}, // GET_ERROR
    {48, LoadReader}, // GET_ERROR_CODE
    {49, LoadReader}, // GET_DI_ALL
    {50, LoadReader}, // QUORL_IN
    {51, Own<&Firmware::stores, RemoteOut>}, // QUORL_OUT
    {60, SetHomingSpeed}, // SET_HV
    {61, HomeLimit}, // HOME_LIMIT
    {62, SetHomeMode}, // SET_HOME_MODE
    {63, HomeStart}, // HOME_START
    {70, NormalSpeed}, // NORMAL_SPEED
    {71, SetProfileValue}, // SET_SV
    {72, SetProfileValue}, // SET_V
    {73, SetProfileValue}, // SET_A
    {74, SetProfileValue}, // SET_D
    {75, SetProfileValue}, // SET_K
    {76, SetProfileValue}, // SET_L
    {77, SetProfileValue}, // SET_AO
    {78, FixedMove}, // FIXED_MOVE
    {79, SetPulse}, // SET_PULSE
    {80, ContinueMove}, // CONTINUE_MOVE
    {90, AxisAssign}, // AXIS_ASSIGN
    {91, VectorSpeed}, // VECTOR_SPEED
    {92, VectorProfile}, // SET_VSV
    {93, VectorProfile}, // SET_VV
    {94, VectorProfile}, // SET_VA
    {95, VectorProfile}, // SET_VD
    {96, VectorProfile}, // SET_VK
    {97, VectorProfile}, // SET_VL
    {98, VectorProfile}, // SET_VAO
    {99, Line}, // LINE_2D
    {100, Line}, // LINE_3D
    {101, ArcCentre}, // ARC_CW
    {102, ArcOrCircle}, // ARC_CW
    {103, ArcCentre}, // ARC_CCW
    {104, ArcOrCircle}, // ARC_CCW
    {105, ArcOrCircle}, // CIRCLE_CW
    {106, ArcOrCircle}, // CIRCLE_CCW
    {110, SyncFirst}, // SYNC_ACTION
    {111, SyncSecond}, // SYNC_ACTION
    {112, SetCompare}, // SET_COMPARE
    {113, LoadReader}, // GET_LATCH
    {114, SetPreset}, // SET_PRESET
    {115, SetOut}, // SET_OUT
    {120, Rectangle}, // RECTANGLE
    {121, Rectangle}, // RECTANGLE
    {122, Rectangle}, // RECTANGLE
    {123, Rectangle}, // RECTANGLE
    {124, ContinuousAxes}, // LINE_2D_INITIAL
    {125, ContinuousProfile}, // LINE_2D_INITIAL
    {126, ContinuousLine}, // LINE_2D_CONTINUE
    {127, ContinuousAxes}, // LINE_3D_INITIAL
    {128, ContinuousProfile}, // LINE_3D_INITIAL
    {129, ContinuousLine}, // LINE_3D_CONTINUE
    {130, Mix2dInitial}, // MIX_2D_INITIAL
    {131, Mix2dInitial}, // MIX_2D_INITIAL
    {132, Mix2dContinue}, // MIX_2D_CONTINUE
    {133, Mix2dContinue}, // MIX_2D_CONTINUE
    {134, ContinueIntp}, // CONTINUE_INTP
    {135, ContinueIntpArray}, // CONTINUE_INTP_ARRAY
    {136, Helix}, // HELIX_3D
    {137, Helix}, // HELIX_3D
    {138, Helix}, // HELIX_3D
    {139, RatioInitial}, // RATIO_INITIAL
    {140, RatioInitial}, // RATIO_INITIAL
    {141, Ratio2d}, // RATIO_2D
    {144, LineScan}, // LINE_SCAN
    {145, LineScanStart}, // LINE_SCAN_START
    {146, LineScanOffset}, // LINE_SCAN_OFFSET
    {170, Own<&Firmware::interrupts, EnableInt>}, // ENABLE_INT
    {171, Own<&Firmware::interrupts, DisableInt>}, // DISABLE_INT
    {172, Own<&Firmware::interrupts, IntFactorEnable>}, // INTFACTOR_ENABLE
    {173, Own<&Firmware::interrupts, IntFactorDisable>}, // INTFACTOR_DISABLE
    {180, DrvHold}, // DRV_HOLD
    {181, DrvStart}, // DRV_START
    {183, StopAxesPacket}, // STOP_SLOWLY
    {184, StopAxesPacket}, // STOP_SUDDENLY
    {185, StopPathsPacket}, // VSTOP_SLOWLY
    {186, StopPathsPacket}, // VSTOP_SUDDENLY
    {187, ClearStopPacket}, // CLEAR_STOP
    {188, EndPath}, // INTP_END
    {200, LoadInitial}, // LOAD_INITIAL
    {201, MpCreate}, // MP_CREATE
    {202, MpClose}, // MP_CLOSE
    {203, MpCall}, // MP_CALL
    {210, MpSetVar}, // MP_SET_VAR
    {211, MpSetRVar}, // MP_SET_RVAR
    {212, MpCalculate}, // MP_VAR_CALCULATE
    {213, FlowOutsideProgram}, // MP_FOR
    {214, FlowOutsideProgram}, // MP_NEXT
    {215, FlowOutsideProgram}, // MP_IF
    {216, FlowOutsideProgram}, // MP_ELSE
    {217, FlowOutsideProgram}, // MP_IF_END
    {218, FlowOutsideProgram}, // MP_TIMER
    {219, FlowOutsideProgram}, // MP_STOP_WAIT
    {220, MpSetRint}, // MP_SET_RINT
    {240, MpDebug}, // MP_DEBUG
    {241, IsrDebug}, // ISR_DEBUG
};

const ExchangeBinding kExchangeHandlers[] = {
    {10, ResetCard}, // RESET_CARD
    {11, ClearCardBuffer}, // CLEAR_CARD_BUFFER
    {34, OwnAnswer<&Firmware::stores, ReadByteVar>}, // READ_bVAR
    {36, OwnAnswer<&Firmware::stores, ReadVar>}, // READ_VAR
    {38, OwnAnswer<&Firmware::stores, ReadMd>}, // READ_MD
    {41, GetLp}, // GET_LP
    {43, GetEp}, // GET_EP
    {44, GetCv}, // GET_CV
    {45, GetCa}, // GET_CA
    {46, GetDi}, // GET_DI
    {47, GetError}, // GET_ERROR
    {48, GetErrorCode}, // GET_ERROR_CODE
    {49, GetDiAll}, // GET_DI_ALL
    {50, OwnAnswer<&Firmware::stores, RemoteIn>}, // QUORL_IN
    {113, GetLatch}, // GET_LATCH
    {182, StopWait}, // STOP_WAIT
    {183, StopSlowly}, // STOP_SLOWLY
    {184, StopSuddenly}, // STOP_SUDDENLY
    {185, VStopSlowly}, // VSTOP_SLOWLY
    {186, VStopSuddenly}, // VSTOP_SUDDENLY
    {187, ClearStop}, // CLEAR_STOP
    {204, FirmwareVersion}, // GET_FW_VERSION
    {242, ContinueDebug}, // CONTINUE_DEBUG
    {243, StopDebug}, // STOP_DEBUG
    {255, Range}, // RANGE
};

// Code -> handler, built once.
template <typename Handler, typename Binding, std::size_t N>
std::array<Handler, 256> Index(const Binding (&table)[N])
{
    std::array<Handler, 256> index{};
    for (const Binding& b : table) {
        index[b.code] = b.run;
    }
    return index;
}

} // namespace

PacketHandler PacketHandlerOf(std::uint8_t code)
{
    static const std::array<PacketHandler, 256> index = Index<PacketHandler>(kPacketHandlers);
    return index[code];
}

ExchangeHandler ExchangeHandlerOf(std::uint8_t code)
{
    static const std::array<ExchangeHandler, 256> index = Index<ExchangeHandler>(kExchangeHandlers);
    return index[code];
}

} // namespace detail
} // namespace velkor_sim
