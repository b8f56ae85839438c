; Texts, zero-terminated.

titleText:      DEFM "VANTREL DEMO"
                DEFB 0
waitingText:    DEFM " Waiting"
                DEFB 0
receivingText:  DEFM " Receiving"
                DEFB 0
linkTitleText:  DEFM "LINK"
                DEFB 0
linkMenuText1:  DEFM "F1 SEND ALL"
                DEFB 0
linkMenuText2:  DEFM "F2 RECEIVE"
                DEFB 0
linkMenuText3:  DEFM "F3 DELETE ALL"
                DEFB 0
linkMenuText4:  DEFM "EXIT QUIT"
                DEFB 0
storedText:     DEFM "STORED: "
                DEFB 0
sendingText:    DEFM "SENDING..."
                DEFB 0
noVarsText:     DEFM "NO VARIABLES"
                DEFB 0
deletedText:    DEFM "DELETED"
                DEFB 0
; Indexed by the link outcome.
linkResultTexts:
                DEFW doneText, failedText, cancelledText, skippedText
doneText:       DEFM "DONE"
                DEFB 0
failedText:     DEFM "LINK ERROR"
                DEFB 0
cancelledText:  DEFM "CANCELLED"
                DEFB 0
skippedText:    DEFM "SKIPPED SOME"
                DEFB 0
; Indexed by the evaluation error code less one.
errorTexts:
                DEFW syntaxText, overflowText, divZeroText
syntaxText:     DEFM "SYNTAX ERROR"
                DEFB 0
overflowText:   DEFM "OVERFLOW"
                DEFB 0
divZeroText:    DEFM "DIVIDE BY 0"
                DEFB 0
entryFullText:  DEFM "ENTRY FULL"
                DEFB 0

; Characters typed by the calculator keys, indexed by key code (0: none).
keyChars:
        DEFB 0                                  ; 0
        DEFB 0, 0, 0, 0, 0, 0, 0, 0             ; 1-8 arrows
        DEFB 0, "+", "-", "*", "/", 0, 0, 0     ; 9-16
        DEFB CH_NEG, "3", "6", "9", 0, 0, 0, 0  ; 17-24
        DEFB 0, "2", "5", "8", 0, 0, 0, 0       ; 25-32
        DEFB "0", "1", "4", "7", 0, 0, 0, 0     ; 33-40
        DEFB 0, 0, 0, 0, 0, 0, 0, 0             ; 41-48
        DEFB 0, 0, 0, 0, 0, 0, 0, 0             ; 49-56

; The game.
gameKeyText:    DEFM "F5: GAME"
                DEFB 0
needsHardwareText: DEFM "NEEDS HW MODEL"
                DEFB 0
scoreText:      DEFM "SCORE"
                DEFB 0
gameOverText:   DEFM "GAME OVER"
                DEFB 0
bestText:       DEFM "BEST "
                DEFB 0
againText:      DEFM "ENTER AGAIN"
                DEFB 0
leaveText:      DEFM "EXIT  LEAVE"
                DEFB 0
