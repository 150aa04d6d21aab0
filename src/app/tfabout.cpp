#include "app/tfabout.h"

#include <jpeglib.h>

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <csetjmp>
#include <cstdio>

// The program's resources live in a static library and are registered by hand.
static void InitOrvioResources() { Q_INIT_RESOURCE(orvio); }

namespace orvio {

namespace {
// Columns of the logo: the first after the name "ORVIO", and one of clear background before it.
constexpr int kBannerLeft = 110;
constexpr int kClearColumn = 107;

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void Silent(j_common_ptr) {}
}  // namespace

QImage DecodeJpeg(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  err.mgr.output_message = Silent;
  QImage image;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return {};
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                 QImage::Format_RGB888);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return image;
}

TFAbout::TFAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("FAbout");
  setWindowTitle("Orvio -> About");
  setFixedSize(380, 280);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setModal(false);
  auto* v = new QVBoxLayout(this);
  InitOrvioResources();
  Image1 = new QLabel;
  QFile logo(":/logo.jpg");
  if (logo.open(QIODevice::ReadOnly)) {
    QImage img = DecodeJpeg(logo.readAll());
    if (!img.isNull()) {
      // Drawn transparent: the logo's white stands for the box's own background.
      QImage argb = img.convertToFormat(QImage::Format_ARGB32);
      // The picture's own line beside the name is cut at its right edge: the background (a
      // vertical gradient, as in the clear column after the name) is drawn over it, and the
      // line is written anew by Banner.
      const QImage clear = argb.copy(kClearColumn, 0, 1, argb.height());
      QPainter painter(&argb);
      for (int x = kBannerLeft; x < argb.width(); ++x) painter.drawImage(x, 0, clear);
      painter.end();
      Image1->setPixmap(QPixmap::fromImage(argb));
    }
  }
  Image1->setFixedSize(305, 41);
  Banner = new QLabel(kBannerText, Image1);
  Banner->setObjectName("Banner");
  Banner->setStyleSheet("color: #dfe8f2; background: transparent;");
  Banner->setGeometry(kBannerLeft + 4, 0, Image1->width() - kBannerLeft - 8, Image1->height());
  Banner->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The largest size up to the box's own that fits the whole line.
  QFont font = Banner->font();
  for (qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : 9; size > 5; size -= 0.25) {
    font.setPointSizeF(size);
    if (QFontMetrics(font).horizontalAdvance(Banner->text()) <= Banner->contentsRect().width())
      break;
  }
  Banner->setFont(font);
  Label1 = new QLabel("Orvio v1.0.1.81");
  Label3 = new QLabel("The software is intended to make setting of ZELK devices easier.");
  Label3->setWordWrap(true);
  Label2 = new QLabel("Written by the Orvio developers for VORTELA.");
  Label4 = new QLabel("All rights reserved by VORTELA.");
  Label5 = new QLabel("www.vortela.example");
  Label6 = new QLabel("support@vortela.example");
  BitBtn1 = new QPushButton("Close");
  v->addWidget(Image1, 0, Qt::AlignHCenter);
  for (QLabel* l : {Label1, Label3, Label2, Label4, Label5, Label6}) v->addWidget(l);
  v->addStretch(1);
  v->addWidget(BitBtn1, 0, Qt::AlignRight);
  connect(BitBtn1, &QPushButton::clicked, this, &TFAbout::BitBtn1Click);
  if (QScreen* s = QGuiApplication::primaryScreen())
    move(s->availableGeometry().center() - rect().center());
}

}  // namespace orvio
