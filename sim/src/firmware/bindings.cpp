// The firmware binds every code of the command table (protocol/decoder.cpp)
// to the family handler that carries it out. A code with no binding is kept
// without effect, or not simulated, as its row says.
#include "firmware/bindings.h"

#include "axis/axis_config.h"
#include "axis/drives.h"
#include "axis/homing.h"
#include "axis/machine.h"
#include "axis/speed_shape.h"
#include "axis/status.h"
#include "axis/stopping.h"
#include "firmware/card.h"
#include "firmware/firmware.h"
#include "interrupts/interrupt_line.h"
#include "paths/paths.h"
#include "paths/special_paths.h"
#include "programs/macro_programs.h"
#include "protocol/command.h"
#include "protocol/decoder.h"
#include "protocol/query.h"
#include "stores/variables.h"
#include "sync/sync.h"

#include <array>

namespace velkor_sim {
namespace detail {
namespace {

// Parameter registers a reader's query reads besides the axis selector.
constexpr int kPortRegister = RegisterOf({50}, "port");
constexpr int kInputRegister = RegisterOf({46}, "input");

constexpr auto kReaderAxis = U8Field({41, 43, 46, 48, 49, 113}, "axis");
constexpr auto kReaderPort = U8Field({50}, "port");
constexpr auto kReaderInput = U8Field({46}, "input");

// A reader sent as a packet asks its own query in a scratch window and loads
// the reply into the reader variable: 4-byte replies as signed values,
// shorter ones as they are.
void LoadReader(Firmware& fw, const Command& cmd)
{
    const std::uint8_t code = cmd.Code();
    const ExchangeEntry* query = FindExchange(code);
    const ExchangeHandler run = ExchangeHandlerOf(code);
    if (query == nullptr || run == nullptr) {
        fw.Unsimulated(code);
        return;
    }
    Window w{};
    // The selector is the axis of a reader of an axis and the port of a
    // port's reader; GET_ERROR has none.
    const std::uint8_t selector = code == 50 ? cmd[kReaderPort] : code == 47 ? std::uint8_t{0} : cmd[kReaderAxis];
    w[kAxisRegister] = selector;
    w[kPortRegister] = selector;
    w[kInputRegister] = code == 46 ? cmd[kReaderInput] : std::uint8_t{0};
    run(fw, w);
    std::uint32_t reply = 0;
    for (int i = query->replyWidth - 1; i >= 0; --i) {
        reply = reply << 8 | w[kReplyArea + 2 * i];
    }
    fw.stores.longVars[fw.macros.readerVariable] = static_cast<std::int32_t>(reply);
}

// A family that owns its state gets that state, not the firmware.
template <auto member, auto run>
void Own(Firmware& fw, const Command& cmd)
{
    run(fw.*member, cmd);
}

// ... and asks the rest of the module through the context.
template <auto member, auto run>
void OwnWith(Firmware& fw, const Command& cmd)
{
    run(fw.*member, fw, cmd);
}

template <auto member, auto run>
void OwnAnswer(Firmware& fw, Window& w)
{
    run(fw.*member, w);
}

// VECTOR_SPEED sets the constant-speed mode of the paths' vector profile.
void VectorSpeedOfPaths(Firmware& fw, const Command& cmd) { VectorSpeed(fw, fw.paths.vector, cmd); }

// A handler of the paths, over their state and the context.
template <auto run>
void OnPaths(Firmware& fw, const Command& cmd)
{
    run(fw.PathsAtWork(), cmd);
}

template <auto run>
void AnswerOnPaths(Firmware& fw, Window& w)
{
    run(fw.PathsAtWork(), w);
}

// A handler of the macro programs, over what they work on.
template <auto run>
void OnPrograms(Firmware& fw, const Command& cmd)
{
    run(fw.ProgramsAtWork(), cmd);
}

template <auto run>
void AnswerOnPrograms(Firmware& fw, Window& w)
{
    run(fw.ProgramsAtWork(), w);
}

// A handler over the context, or over the whole firmware.
template <auto run>
void Run(Firmware& fw, const Command& cmd)
{
    run(fw, cmd);
}

template <auto run>
void Answer(Firmware& fw, Window& w)
{
    run(fw, w);
}

struct PacketBinding {
    std::uint8_t code;
    PacketHandler run;
};

struct ExchangeBinding {
    std::uint8_t code;
    ExchangeHandler run;
};

// A command of several packets is bound at the code of its last packet.
const PacketBinding kPacketHandlers[] = {
    {12, Run<SetPulseMode>}, // SET_PULSE_MODE
    {13, Run<SetMaxV>}, // SET_MAX_V
    {14, Run<SetHardLimits>}, // SET_HLMT
    {15, Run<LimitStopMode>}, // LIMITSTOP_MODE
    {16, Run<SetNearHome>}, // SET_NHOME
    {17, Run<SetHomeEdge>}, // SET_HOME_EDGE
    {18, Run<SetSoftLimits>}, // SET_SLMT
    {19, Run<ClearSoftLimits>}, // CLEAR_SLMT
    {20, Run<SetEncoder>}, // SET_ENCODER
    {21, Run<ServoOn>}, // SERVO_ON
    {22, Run<ServoOff>}, // SERVO_OFF
    {23, Run<SetAlarm>}, // SET_ALARM
    {24, Run<SetInPosition>}, // SET_INPOS
    {25, Run<SetFilter>}, // SET_FILTER
    {26, Run<RingEnable>}, // VRING_ENABLE
    {27, Run<RingDisable>}, // VRING_DISABLE
    {28, Run<AvoidTriangle>}, // AVTRI_ENABLE
    {29, Run<AvoidTriangle>}, // AVTRI_DISABLE
    {30, Run<ExternalDrive>}, // EXD_MP
    {31, Run<ExternalDrive>}, // EXD_FP
    {32, Run<ExternalDrive>}, // EXD_CP
    {33, Run<ExternalDrive>}, // EXD_DISABLE
    {35, Own<&Firmware::stores, WriteByteVar>}, // WRITE_bVAR
    {37, Own<&Firmware::stores, WriteVar>}, // WRITE_VAR
    {39, Own<&Firmware::stores, WriteMd>}, // WRITE_MD
    {40, Run<SetLp>}, // SET_LP
    {41, Run<LoadReader>}, // GET_LP
    {42, Run<SetEp>}, // SET_EP
    {43, Run<LoadReader>}, // GET_EP
    {46, Run<LoadReader>}, // GET_DI
    {47, Run<LoadReader>}, // GET_ERROR
    {48, Run<LoadReader>}, // GET_ERROR_CODE
    {49, Run<LoadReader>}, // GET_DI_ALL
    {50, Run<LoadReader>}, // QUORL_IN
    {51, Own<&Firmware::stores, RemoteOut>}, // QUORL_OUT
    {60, Run<SetHomingSpeed>}, // SET_HV
    {61, Run<HomeLimit>}, // HOME_LIMIT
    {62, Run<SetHomeMode>}, // SET_HOME_MODE
    {63, Run<HomeStart>}, // HOME_START
    {70, Run<NormalSpeed>}, // NORMAL_SPEED
    {71, Run<SetProfileValue>}, // SET_SV
    {72, Run<SetProfileValue>}, // SET_V
    {73, Run<SetProfileValue>}, // SET_A
    {74, Run<SetProfileValue>}, // SET_D
    {75, Run<SetProfileValue>}, // SET_K
    {76, Run<SetProfileValue>}, // SET_L
    {77, Run<SetProfileValue>}, // SET_AO
    {78, Run<FixedMove>}, // FIXED_MOVE
    {79, Run<SetPulse>}, // SET_PULSE
    {80, Run<ContinueMove>}, // CONTINUE_MOVE
    {90, OnPaths<AxisAssign>}, // AXIS_ASSIGN
    {91, Run<VectorSpeedOfPaths>}, // VECTOR_SPEED
    {92, OnPaths<VectorProfile>}, // SET_VSV
    {93, OnPaths<VectorProfile>}, // SET_VV
    {94, OnPaths<VectorProfile>}, // SET_VA
    {95, OnPaths<VectorProfile>}, // SET_VD
    {96, OnPaths<VectorProfile>}, // SET_VK
    {97, OnPaths<VectorProfile>}, // SET_VL
    {98, OnPaths<VectorProfile>}, // SET_VAO
    {99, OnPaths<Line>}, // LINE_2D
    {100, OnPaths<Line>}, // LINE_3D
    {102, OnPaths<ArcOrCircle>}, // ARC_CW (the packets 101, 102)
    {104, OnPaths<ArcOrCircle>}, // ARC_CCW (103, 104)
    {105, OnPaths<ArcOrCircle>}, // CIRCLE_CW
    {106, OnPaths<ArcOrCircle>}, // CIRCLE_CCW
    {111, OwnWith<&Firmware::sync, SetSyncAction>}, // SYNC_ACTION
    {112, OwnWith<&Firmware::sync, SetCompare>}, // SET_COMPARE
    {113, Run<LoadReader>}, // GET_LATCH
    {114, OwnWith<&Firmware::sync, SetPreset>}, // SET_PRESET
    {115, OwnWith<&Firmware::sync, SetOut>}, // SET_OUT
    {123, OnPaths<Rectangle>}, // RECTANGLE
    {124, OnPaths<ContinuousAxes>}, // LINE_2D_INITIAL
    {125, OnPaths<ContinuousProfile>}, // LINE_2D_INITIAL
    {126, OnPaths<ContinuousLine>}, // LINE_2D_CONTINUE
    {127, OnPaths<ContinuousAxes>}, // LINE_3D_INITIAL
    {128, OnPaths<ContinuousProfile>}, // LINE_3D_INITIAL
    {129, OnPaths<ContinuousLine>}, // LINE_3D_CONTINUE
    {131, OnPaths<Mix2dInitial>}, // MIX_2D_INITIAL
    {133, OnPaths<Mix2dContinue>}, // MIX_2D_CONTINUE
    {134, OnPaths<ContinueIntp>}, // CONTINUE_INTP
    {135, OnPaths<ContinueIntpArray>}, // CONTINUE_INTP_ARRAY
    {138, OnPaths<Helix>}, // HELIX_3D
    {140, OnPaths<RatioInitial>}, // RATIO_INITIAL
    {141, OnPaths<Ratio2d>}, // RATIO_2D
    {144, OnPaths<LineScan>}, // LINE_SCAN
    {145, OnPaths<LineScanStart>}, // LINE_SCAN_START
    {146, OnPaths<LineScanOffset>}, // LINE_SCAN_OFFSET
    {170, Own<&Firmware::interrupts, EnableInt>}, // ENABLE_INT
    {171, Own<&Firmware::interrupts, DisableInt>}, // DISABLE_INT
    {172, Own<&Firmware::interrupts, IntFactorEnable>}, // INTFACTOR_ENABLE
    {173, Own<&Firmware::interrupts, IntFactorDisable>}, // INTFACTOR_DISABLE
    {180, Run<DrvHold>}, // DRV_HOLD
    {181, Run<DrvStart>}, // DRV_START
    {183, Run<StopAxesPacket>}, // STOP_SLOWLY
    {184, Run<StopAxesPacket>}, // STOP_SUDDENLY
    {185, OnPaths<StopPathsPacket>}, // VSTOP_SLOWLY
    {186, OnPaths<StopPathsPacket>}, // VSTOP_SUDDENLY
    {187, Run<ClearStopPacket>}, // CLEAR_STOP
    {188, OnPaths<EndPath>}, // INTP_END
    {200, OnPrograms<LoadInitial>}, // LOAD_INITIAL
    {201, OnPrograms<MpCreate>}, // MP_CREATE
    {202, OnPrograms<MpClose>}, // MP_CLOSE
    {203, OnPrograms<MpCall>}, // MP_CALL
    {210, OnPrograms<MpSetVar>}, // MP_SET_VAR
    {211, OnPrograms<MpSetRVar>}, // MP_SET_RVAR
    {212, OnPrograms<MpCalculate>}, // MP_VAR_CALCULATE
    {213, OnPrograms<FlowOutsideProgram>}, // MP_FOR
    {214, OnPrograms<FlowOutsideProgram>}, // MP_NEXT
    {215, OnPrograms<FlowOutsideProgram>}, // MP_IF
    {216, OnPrograms<FlowOutsideProgram>}, // MP_ELSE
    {217, OnPrograms<FlowOutsideProgram>}, // MP_IF_END
    {218, OnPrograms<FlowOutsideProgram>}, // MP_TIMER
    {219, OnPrograms<FlowOutsideProgram>}, // MP_STOP_WAIT
    {220, OnPrograms<MpSetRint>}, // MP_SET_RINT
    {240, OnPrograms<MpDebug>}, // MP_DEBUG
    {241, OnPrograms<IsrDebug>}, // ISR_DEBUG
};

const ExchangeBinding kExchangeHandlers[] = {
    {10, Answer<ResetCard>}, // RESET_CARD
    {11, Answer<ClearCardBuffer>}, // CLEAR_CARD_BUFFER
    {34, OwnAnswer<&Firmware::stores, ReadByteVar>}, // READ_bVAR
    {36, OwnAnswer<&Firmware::stores, ReadVar>}, // READ_VAR
    {38, OwnAnswer<&Firmware::stores, ReadMd>}, // READ_MD
    {41, Answer<GetLp>}, // GET_LP
    {43, Answer<GetEp>}, // GET_EP
    {44, Answer<GetCv>}, // GET_CV
    {45, Answer<GetCa>}, // GET_CA
    {46, Answer<GetDi>}, // GET_DI
    {47, Answer<GetError>}, // GET_ERROR
    {48, Answer<GetErrorCode>}, // GET_ERROR_CODE
    {49, Answer<GetDiAll>}, // GET_DI_ALL
    {50, OwnAnswer<&Firmware::stores, RemoteIn>}, // QUORL_IN
    {113, Answer<GetLatch>}, // GET_LATCH
    {182, Answer<StopWait>}, // STOP_WAIT
    {183, Answer<StopSlowly>}, // STOP_SLOWLY
    {184, Answer<StopSuddenly>}, // STOP_SUDDENLY
    {185, AnswerOnPaths<VStopSlowly>}, // VSTOP_SLOWLY
    {186, AnswerOnPaths<VStopSuddenly>}, // VSTOP_SUDDENLY
    {187, Answer<ClearStop>}, // CLEAR_STOP
    {204, Answer<FirmwareVersion>}, // GET_FW_VERSION
    {242, AnswerOnPrograms<ContinueDebug>}, // CONTINUE_DEBUG
    {243, AnswerOnPrograms<StopDebug>}, // STOP_DEBUG
    {255, Answer<Range>}, // RANGE
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
