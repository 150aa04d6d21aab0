// Status readout of the gateway: fourteen request/answer steps on Timer_status, one per tick.
#include "core/gateway/status_readout.h"

#include "app/tform1.h"

namespace orvio {

void TForm1::BitBtn18Click() {
  if (!CheckLink()) return;
  ClearBuffersAndPurge();
  gateway.StatusStep = 1;
  SendGatewayRequest(StatusStepAt(gateway.StatusStep)->request);
  Timer_status->SetInterval(UD_modbusTimeout->Position());
  Timer_status->Start();
}

void TForm1::Timer_statusTimer() {
  Timer_status->Stop();
  const ByteString answer = TakeAnswer();
  const StatusStepSpec* step = StatusStepAt(gateway.StatusStep);
  if (step && !answer.empty()) {
    const AnswerCheck check = ValidateAnswer(answer, step->check);
    const StatusLines out = step->build(answer, check);
    MemoAddLines(out.lines);
    if (out.activeDeviceCount) SetActiveDeviceCount(*out.activeDeviceCount);
  }
  MemoAdd(StatusUnmdLine(answer));
  ++gateway.StatusStep;
  ClearBuffersAndPurge();
  const StatusStepSpec* next = StatusStepAt(gateway.StatusStep);
  if (!next) return;  // all fourteen steps done
  SendGatewayRequest(next->request);
  Timer_status->Start();
}

}  // namespace orvio
