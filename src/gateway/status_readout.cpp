// Status readout of the gateway: fourteen request/answer steps on Timer_status, one per tick.
#include "core/gateway/status_readout.h"

#include "app/tform1.h"
#include "core/progress/progress.h"

namespace orvio {

void TForm1::BitBtn18Click() {
  if (!CheckLink()) return;
  ClearBuffersAndPurge();
  gateway.StatusStep = 1;
  SendGatewayRequest(StatusStepAt(gateway.StatusStep)->request);
  Timer_status->SetInterval(UD_modbusTimeout->Position());
  Timer_status->Start();
  JobProgress->Start(Job::Status);
  ReportProgress(Job::Status, progress::StepsReport("step", 0, kStatusStepCount,
                                                    AnswerWaitMs(Timer_status->Interval())));
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
  ReportProgress(Job::Status,
                 progress::StepsReport("step", gateway.StatusStep - 1, kStatusStepCount,
                                       AnswerWaitMs(Timer_status->Interval())));
  ClearBuffersAndPurge();
  const StatusStepSpec* next = StatusStepAt(gateway.StatusStep);
  if (!next) {  // all fourteen steps done
    JobProgress->Finish(Job::Status);
    return;
  }
  SendGatewayRequest(next->request);
  Timer_status->Start();
}

}  // namespace orvio
