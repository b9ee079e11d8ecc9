#pragma once

#include "app/view/ShownPage.h"
#include "export/TexturePlan.h"
#include "export/bmfont/BmFontWriter.h"
#include "export/bmfont/SampleText.h"
#include "settings/Settings.h"

#include <QObject>
#include <QPalette>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace glyfrax {

// What the texture view asks to see.
struct ViewRequest
{
    Settings settings;
    TextureProfile profile = TextureProfile::Classic;
    int page = 0;
    QString sample;
    bool drawing = true; // false: the plan's figures alone, no page drawn
    int channel = 1;     // the channel of a packed page to show, as a descriptor numbers it
};

// What the drawer made for one request.
struct ViewPicture
{
    quint64 serial = 0;
    Settings settings; // what it was planned for
    TextureProfile profile = TextureProfile::Classic;
    QString error; // why nothing could be planned; then nothing else is set
    std::shared_ptr<const BmFont> descriptor;
    int pageCount = 0; // the page images
    QSize pageSize;
    bool packed = false;           // each channel of a page image holds cells of its own
    std::vector<char32_t> missing; // chosen, but no font has them
    int page = 0;                  // the request's page, brought into the set's range
    ShownPage shown;               // for packed pages the request's channel alone
    SampleLine sampleLine;
    ShownPage sample;    // the sample line set from the pages, at texture pixels
    QPoint sampleOrigin; // where in it the line starts: pen 0, the line's top
};

// Plans and draws what the texture view shows on a thread of its own, so that the window never
// waits for a font of 20,000 characters. Only the newest request counts: one still waiting is
// replaced by the next, and a plan that a newer request with other settings makes useless ends
// before its pages are drawn. The plan, and so its font, never leaves that thread.
class TextureDrawer : public QObject
{
    Q_OBJECT

public:
    explicit TextureDrawer(const QPalette& palette, QObject* parent = nullptr);
    ~TextureDrawer() override;

    // Asks for a picture; returns its serial, which the picture carries.
    quint64 request(const ViewRequest& request);

signals:
    // On the thread the drawer lives on; pictures of requests since replaced are dropped here too.
    // planned comes first, as soon as the plan is known, with no page drawn; drawn follows for a
    // request that draws.
    void planned(std::shared_ptr<const glyfrax::ViewPicture> picture);
    void drawn(std::shared_ptr<const glyfrax::ViewPicture> picture);

private:
    struct Pending
    {
        quint64 serial = 0;
        ViewRequest request;
    };

    void work();
    // Hands a picture to the drawer's thread, to be emitted there if its request is the newest.
    void deliver(void (TextureDrawer::*signal)(std::shared_ptr<const ViewPicture>),
                 std::shared_ptr<const ViewPicture> picture);
    bool stillWanted(const ViewRequest& running);

    const QPalette m_palette;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Pending> m_pending;
    quint64 m_lastSerial = 0;
    bool m_stopping = false;
    std::thread m_thread; // last: it starts when everything it reads is made
};

} // namespace glyfrax
