// The 29 messages as the user must read them, in English and German, character for character with
// their quirks (the doubled blanks, "detected.The", the blanks that open the English steps). The
// scenarios and the unit tests compare what the window shows against this table; the compiled
// string tables are checked against it once, so a text changed in the resources fails there.
#pragma once

#include <cstddef>
#include <string>

namespace expected {

constexpr unsigned englishTable = 0x0009;
constexpr unsigned germanTable = 0x0407;

// The maker's address as this build's tables carry it, in both 40034 texts.
#define EXPECTED_WEB_ADDRESS L"www.brelvant.example"

struct MessageText {
    unsigned id;
    const wchar_t* english;
    const wchar_t* german;
};

inline constexpr MessageText messageTexts[] = {
    {40000,
     L"A programming unit was found and is ready to update. To update to new ESC firmware, please click on the 'Update'-Button.\r\n\r\n!!!  NOTE: Do not disconnect Programming Unit from Computer until update is complete. If disconnected before complete Programming Unit or ESC may no longer function  !!!",
     L"Programmiereinheit mit angeschlossenem Regler am USB Bus erkannt und bereit zum Update. Auf 'Update' klicken, um die neue Firmware nun in den Flash-Speicher des Reglers zu \u00fcbertragen.\r\n\r\n!!! Bitte achten Sie darauf, dass die Verbindung PC<=>Programmiereinheit w\u00e4hrend des gesamten Update-Vorgangs nicht unterbrochen wird. Andernfalls kann es zu einer fehlerhaften Firmware kommen, wodurch Sch\u00e4den am Ger\u00e4t nicht ausgeschlossen sind !!!"},
    {40001,
     L"1.)\r\nDisconnect the BRELVANT ESC from the receiver (Master and Slave Port) and connect the Master Port with the female connector of the BenchBOX/ORBIPAD. NOTE: a BEC or male to male cable required. \r\nThe VANTORQ needs instead a program-cable.\r\n\r\n 2.)\r\nConnect the BRELVANT ESC to an appropriate battery. As soon as the connection is established the LEDs of the BRELVANT ESC and the BenchBOX starts flashing.\r\n\r\n 3.)\r\n Now connect the BenchBOX/ORBIPAD with the supplied USB cable to your PC. If you use a ORBIPAD, please push the button once.\r\n\r\n 4.)\r\n If the programming unit and the ESC were found and ready to update, you can click on the 'Update'-Button to update the firmware.",
     L"1.)\r\nTrennen Sie den BRELVANT Regler vom Empf\u00e4nger (Master- u. Slave-Port) und verbinden Sie die Buchse des BEC-Kabels der BenchBOX/ORBIPAD mit dem Master-Port des Reglers. BEC-Kabel erforderlich. \r\nDer VANTORQ ben\u00f6tigt stattdessen ein Programmier-Kabel!\r\n\r\n2.)\r\nVerbinden Sie den BRELVANT Regler mit einem geeigneten Akku. Sobald die Spannungsversorgung hergestellt ist blinken die LEDs des Reglers und der BenchBOX. Bei der ORBIPAD blinkt nichts.\r\n\r\n3.)\r\nVerbinden Sie anschlie\u00dfend die BenchBOX/ORBIPAD mit dem mitgelieferten USB-Kabel mit Ihrem Windows\u2122PC. Bei der ORBIPAD m\u00fcssen Sie nun einmal den Taster bet\u00e4tigen.\r\n\r\n4.)\r\nWenn Programmiereinheit und Regler vom PC gefunden wurden und bereit zum Update sind, kann das Firmware-Update \u00fcber den Button 'Update' gestartet werden."},
    {40002,
     L"Update failed!",
     L"Update fehlgeschlagen!"},
    {40008,
     L"Address for new firmware couldn't be set. Update cancelled.",
     L"Die Speicheradresse, an welche die neue Firmware geschrieben wird, konnte nicht gesetzt werden. Das Update wird abgebrochen"},
    {40009,
     L"Error when writing last firmware data block. Update cancelled.",
     L"Fehler beim Schreiben des letzten Firmware Datenblocks. Das Update wird abgebrochen."},
    {40011,
     L"Failed to register Windows Device Manager. New devices on USB port cannot be detected.The program is closed.",
     L"Fehler beim Registrieren des Windows Ger\u00e4te-Meldungshandlers. Neue Ger\u00e4te am USB Port k\u00f6nnen nicht erkannt werden. Das Programm wird geschlossen."},
    {40012,
     L"Error in the application.",
     L"Fehler in der Anwendung"},
    {40015,
     L"A programming unit was found on the USB Port which is in the wrong mode. To update the ESC do the following:",
     L"Es wurde eine Programmiereinheit am USB Port des PCs gefunden, die sich jedoch im falschen Modus befindet. Gehen Sie folgenderma\u00dfen vor, um ein Update der Regler Software durchzuf\u00fchren:"},
    {40016,
     L"No updatable ESC connected. Follow the steps below to update ESC software:",
     L"Es wurde eine Programmiereinheit gefunden, an der jedoch kein updatef\u00e4higer Regler angeschlossen wurde. Gehen Sie folgenderma\u00dfen vor, um ein Update der Regler Software durchzuf\u00fchren:"},
    {40017,
     L"No programming unit was found on the USB Port. To update the ESC do the following:",
     L"Es wurde keine Programmiereinheit mit angeschlossenem updatef\u00e4higem Regler am USB Port des PCs gefunden. Gehen Sie folgenderma\u00dfen vor, um ein Update der Regler Software durchzuf\u00fchren:"},
    {40020,
     L"The USB Connection between programming unit and PC was lost. To update the ESC do the following:",
     L"Die USB Verbindung zwischen Programmiereinheit und PC wurde getrennt. Gehen Sie folgenderma\u00dfen vor, um ein Update der Regler Software durchzuf\u00fchren:"},
    {40022,
     L"Update is interrupted, programming unit is not detected. Please verify connection between computer and programming unit.",
     L"Das Update wird abgebrochen, da die Programmiereinheit f\u00fcr das System nicht mehr verf\u00fcgbar ist. Bitte vergewissern Sie sich, dass die Verbindung PC<=>Programmiereinheit nicht unterbrochen wurde"},
    {40023,
     L"The firmware version is older or the same as the installed firmware version.  If you continue you will be permanently deleting the current Firmware?",
     L"Die Firmware die Sie auf dem Regler installieren m\u00f6chten, ist \u00e4lter oder gleich alt wie die bereits auf dem Regler vorhandene Version. Sind Sie sicher, dass Sie die \u00e4ltere Firmware dennoch installieren und die vorhandene unwiderruflich l\u00f6schen m\u00f6chten?"},
    {40025,
     L"Newer firmware found.",
     L"Neuere Firmware gefunden"},
    {40026,
     L"System-Lock of programming unit couldn't be set. Update process cancelled.",
     L"System-Lock der Programmiereinheit konnte nicht gesetzt werden. Das Update wird abgebrochen."},
    {40027,
     L"Writing to Flash memory of ESC was not possible. Data writing cancelled.",
     L"Schreibzugriff auf den Flash-Speicher des Reglers nicht m\u00f6glich. Das Update wird abgebrochen."},
    {40028,
     L"Error deleting old firmware. New data can't be written. Update cancelled.",
     L"Fehler beim L\u00f6schen der alten Firmware. Neue Daten k\u00f6nnen nicht geschrieben werden. Das Update wird abgebrochen."},
    {40029,
     L"Firmware update in progress, please wait...",
     L"Firmware wird geschrieben, bitte warten..."},
    {40030,
     L"Update failed. Please try again. If the error still appears, please contact the BRELVANT Service",
     L"Der Updatevorgang wurd auf Grund eines Fehlers abgebrochen. Bitte versuchen Sie es erneut. Falls der Fehler weiterhin aufgetreten sollte, kontaktieren Sie bitte den BRELVANT Service"},
    {40032,
     L"The update of the ESC was successful!",
     L"Das Update der Regler-Software wurde erfolgreich durchgef\u00fchrt! Bitte trennen Sie jetzt sowohl den Regler vom angeschlossenen Akku und der Programmiereinheit ab, als auch die Programmiereinheit vom USB Port des PCs"},
    {40033,
     L"ESC incompatible",
     L"Regler inkompatibel"},
    {40034,
     L"With this updater you can only update the firmware of BRELVANT ESCs with the type '%s'. Other models are not supported. Please check BRELVANT website (" EXPECTED_WEB_ADDRESS L") to see if there is an updater for your ESC.",
     L"Mit diesem Updater l\u00e4\u00dft sich ausschlie\u00dflich die Firmware von BRELVANT Reglern des Typs '%s' aktualisieren. Andere Modelle werden nicht unterst\u00fctzt. Schauen Sie gegebenenfalls auf der BRELVANT Website unter " EXPECTED_WEB_ADDRESS L" nach, ob ein Firmware-Update f\u00fcr Ihren Regler bereit liegt"},
    {40035,
     L"The connected ESC is not compatible with this updater. Connect compatible ESC and follow steps below to update ESC Software:",
     L"Der an der Programmiereinheit angeschlossene Regler ist nicht kompatibel mit diesem Updater. Schlie\u00dfen Sie einen geeigneten Regler an und gehen folgenderma\u00dfen vor, um ein Update der Regler Software durchzuf\u00fchren:"},
    {40036,
     L"The system shows following errorcode: 0x%08x-0x%08x",
     L"Das System meldet Fehlercode 0x%08x-0x%08x"},
    {40037,
     L"important note",
     L"Wichtiger Hinweis"},
    {40038,
     L"IMPORTANT: Don't interrupt update process! As long as the LEDs at the programming unit / ESC are flashing, the update is working! You will informed, if the update finished!",
     L"WICHTIG: Den Updatevorgang NICHT unterbrechen! Solang die LEDs an Regler bzw. Programmiereinheit noch blinken, werden Daten \u00fcbertragen!"},
    {40039,
     L"programming unit",
     L"Programmiereinheit"},
    {40040,
     L"ESC-bootloader",
     L"Regler-Bootloader"},
    {40041,
     L"ESC",
     L"Regler"},
};

// The text of one message in one table; an ID that is not a message is a fault of the test.
inline std::wstring messageText(unsigned id, unsigned table)
{
    for (const MessageText& m : messageTexts)
        if (m.id == id)
            return table == germanTable ? m.german : m.english;
    return L"<no message " + std::to_wstring(id) + L">";
}

// A hint with the connection instructions: the status, a blank line, message 40001.
inline std::wstring instructedHintText(unsigned id, unsigned table)
{
    return messageText(id, table) + L"\r\n\r\n" + messageText(40001, table);
}

}
