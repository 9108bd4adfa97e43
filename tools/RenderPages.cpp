// Renders each page of the editor, connected to a simulated pedal with its
// patches loaded, to PNG files, so a person can look at what users see.
//
//     tessel_render_pages <output-directory>

#include <cstdio>

#include <juce_gui_basics/juce_gui_basics.h>

#include "app/KVNoDevice.h"
#include "app/MainContentComponent.h"
#include "cab/KVCABView.h"
#include "pagekit/AlgorithmCatalog.h"
#include "pages/KVAMPView.h"
#include "support/EditorHarness.h"
#include "support/SimulatedCabVolume.h"

namespace
{
bool save (juce::Component& component, const juce::File& file)
{
    // Twice the size, as the pictures are drawn for high-density screens.
    const auto image = component.createComponentSnapshot (component.getLocalBounds(), true, 2.0f);
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::PNGImageFormat png;
    const bool ok = out.openedOk() && png.writeImageToStream (image, out);
    printf ("%s %s\n", ok ? "wrote" : "FAILED", file.getFullPathName().toRawUTF8());
    return ok;
}

/** The newest window on the desktop, such as a menu or a progress window. */
juce::Component* newestDesktopWindow()
{
    auto& desktop = juce::Desktop::getInstance();
    const int count = desktop.getNumComponents();
    return count > 0 ? desktop.getComponent (count - 1) : nullptr;
}

/** The factory IRs' files, as the pedal's volume holds them. */
juce::StringArray factoryIrFiles()
{
    juce::StringArray files;
    for (const auto& name : algorithmNames ("CAB"))
        files.add (name + ".wav");
    return files;
}

bool renderCabPage (const juce::File& directory)
{
    bool ok = true;
    tessel::test::EditorHarness editor;

    // The pedal's volume is mounted as the pedal is plugged in; its IRs are
    // listed once the patches are in.
    tessel::sim::addCabVolume (editor.disks, factoryIrFiles());
    auto pedal = editor.connect (kindCAB);
    auto& page = editor.hub().cabPage();
    if (! tessel::test::pumpUntil ([&] { return page.irRowCount() > 0; }))
        printf ("FAILED to list the IRs of the simulated volume\n");
    pedal->selectPatchOnPedal (7);
    tessel::test::pumpPending();
    ok &= save (editor.hub(), directory.getChildFile ("cab_page.png"));

    // The Set menu over the page. The virtual screen is smaller than a real
    // one, so the menu is drawn where a real screen puts it: under the
    // button, moved left as far as it must to stay inside the window.
    page.setButton.triggerClick();
    tessel::test::pumpUntil ([] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; });
    if (auto* menu = newestDesktopWindow())
    {
        auto shot = editor.hub().createComponentSnapshot (editor.hub().getLocalBounds());
        {
            juce::Graphics g (shot);
            const auto button = editor.hub().getLocalArea (&page, page.setButton.getBounds());
            const juce::Point<int> at (juce::jmin (button.getX(), shot.getWidth() - menu->getWidth()),
                                       button.getBottom());
            g.drawImageAt (menu->createComponentSnapshot (menu->getLocalBounds()), at.x, at.y);
        }
        const auto file = directory.getChildFile ("cab_set_menu.png");
        file.deleteFile();
        juce::FileOutputStream out (file);
        const bool written = out.openedOk() && juce::PNGImageFormat().writeImageToStream (shot, out);
        printf ("%s %s\n", written ? "wrote" : "FAILED", file.getFullPathName().toRawUTF8());
        ok &= written;
    }
    juce::PopupMenu::dismissAllActiveMenus();
    tessel::test::pumpPending();

    pedal->setRoomLevelOnPedal (0);
    pedal->setPowerAmpOnPedal (0);
    pedal->setBypassOnPedal (0);
    tessel::test::pumpPending();
    ok &= save (editor.hub(), directory.getChildFile ("cab_page_bypassed_room_0.png"));

    pedal->setBypassOnPedal (2);
    tessel::test::pumpPending();
    ok &= save (editor.hub(), directory.getChildFile ("cab_page_muted.png"));

    // Every microphone picture Z can choose, on the pad as the page shows it.
    constexpr int pictures = 20, perRow = 10;
    page.ballGeneratorImage.setVisible (false);
    const auto pad = page.micPadImage.createComponentSnapshot (page.micPadImage.getLocalBounds(), false, 2.0f);
    page.ballGeneratorImage.setVisible (true);
    juce::Image sheet (juce::Image::ARGB, pad.getWidth() * perRow, pad.getHeight() * (pictures / perRow), true);
    {
        juce::Graphics g (sheet);
        for (int i = 0; i < pictures; ++i)
        {
            const auto cell = juce::Rectangle<int> (pad.getWidth(), pad.getHeight())
                                  .withPosition ((i % perRow) * pad.getWidth(), (i / perRow) * pad.getHeight());
            g.drawImageAt (pad, cell.getX(), cell.getY());
            g.drawImageWithin (KVCABView::getMicImage (i * 5), cell.getX() + 136, cell.getY() + 96, 82, 160,
                               juce::RectanglePlacement::centred);
        }
    }
    const auto file = directory.getChildFile ("cab_microphones.png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    const bool written = out.openedOk() && juce::PNGImageFormat().writeImageToStream (sheet, out);
    printf ("%s %s\n", written ? "wrote" : "FAILED", file.getFullPathName().toRawUTF8());
    return ok && written;
}

bool renderPages (const juce::File& directory)
{
    bool ok = true;

    {
        tessel::test::EditorHarness editor;
        ok &= save (editor.hub(), directory.getChildFile ("no_device.png"));

        auto updateMode = tessel::sim::PedalSimulator::createUpdateModeDevice();
        editor.plugIn (updateMode);
        ok &= save (editor.hub(), directory.getChildFile ("no_device_update_mode.png"));
    }

    {
        // A pedal this user may not open: the page says how to allow it.
        tessel::test::EditorHarness editor;
        auto usb = tessel::sim::PedalSimulator::create (kindAMP)->identity();
        usb.accessible = false;
        editor.plugIn (std::make_shared<tessel::sim::PedalSimulator> (kindAMP, usb));
        ok &= save (editor.hub(), directory.getChildFile ("no_device_no_access.png"));
    }

    {
        tessel::test::EditorHarness editor;
        auto pedal = editor.connect (kindAMP);
        pedal->selectPatchOnPedal (6);
        tessel::test::pumpPending();
        ok &= save (editor.hub(), directory.getChildFile ("amp_page.png"));

        pedal->setBypassOnPedal (0);
        tessel::test::pumpPending();
        ok &= save (editor.hub(), directory.getChildFile ("amp_page_bypassed.png"));

        // The Set menu, as the page's look draws it.
        editor.ampPage().setButton.triggerClick();
        tessel::test::pumpUntil ([]
                                 { return juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; });
        if (auto* menu = newestDesktopWindow())
            ok &= save (*menu, directory.getChildFile ("set_menu.png"));
        juce::PopupMenu::dismissAllActiveMenus();
        tessel::test::pumpPending();
    }

    {
        // The loading window, caught while a pedal that stops answering holds the dump up.
        tessel::test::EditorHarness editor;
        auto pedal = tessel::sim::PedalSimulator::create (kindAMP);
        pedal->injectFault (tessel::sim::Fault::noAnswer, 0x15, 2);
        editor.bus.plug (pedal);
        tessel::test::pumpUntil ([&] { return editor.hub().loadingWindow != nullptr; });
        tessel::test::pumpPending();
        if (auto* window = newestDesktopWindow())
            ok &= save (*window, directory.getChildFile ("loading_window.png"));
        editor.unplug (pedal);
    }

    // The CAB pedal whose volume nothing could mount: the page says how to
    // mount it, with udisks2 or, where it is missing, without.
    for (const auto& [failure, name] : { std::pair (MountFailure::refused, "cab_page_volume_not_mounted.png"),
                                         std::pair (MountFailure::noUDisks2, "cab_page_volume_no_udisks2.png") })
    {
        tessel::test::EditorHarness editor;
        editor.connect (kindCAB);
        editor.hub().cabPage().showVolumeNotMounted ("/dev/sdb1", failure);
        tessel::test::pumpPending();
        ok &= save (editor.hub(), directory.getChildFile (name));
    }

    {
        tessel::test::EditorHarness editor;
        auto pedal = tessel::sim::PedalSimulator::create (kindMOD);
        pedal->setTapTempoSync (true);
        editor.connect (pedal);
        tessel::test::pumpPending();
        pedal->selectPatchOnPedal (3);
        tessel::test::pumpPending();
        ok &= save (editor.hub(), directory.getChildFile ("mod_page_synced.png"));
    }

    {
        tessel::test::EditorHarness editor;
        auto pedal = tessel::sim::PedalSimulator::create (kindDLY);
        pedal->setMaxDelayMilliseconds (3000);
        editor.connect (pedal);
        tessel::test::pumpPending();
        pedal->selectPatchOnPedal (5);
        tessel::test::pumpPending();
        ok &= save (editor.hub(), directory.getChildFile ("dly_page.png"));
    }

    ok &= renderCabPage (directory);
    return ok;
}

juce::JUCEApplicationBase* noApplication()
{
    return nullptr;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf (stderr, "usage: %s <output-directory>\n", argv[0]);
        return 2;
    }

    juce::JUCEApplicationBase::createInstance = &noApplication;
    juce::ScopedJuceInitialiser_GUI juce;

    const juce::File directory (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    if (! directory.createDirectory())
    {
        fprintf (stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    return renderPages (directory) ? 0 : 1;
}
