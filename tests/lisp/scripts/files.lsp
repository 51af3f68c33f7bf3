;;; case file-and-directory-queries
; the driver creates lsp_probe.txt and lsp_probe_dir in the working directory
(list (fileexist "lsp_probe.txt") (fileexist "lsp_nothere.txt") (fileexist "lsp_probe_dir"))
;; => (T NIL NIL)
(list (direxist "lsp_probe_dir") (direxist "lsp_probe.txt") (direxist "lsp_probe_dir/"))
;; => (T NIL T)
(fileexist 'lsp_probe.txt)
;; => *
;; err 0xE03A
;; msg lsp_probe.txt
(> (diskspace ".") 0)
;; => T
(diskspace "Q:\\no\\such\\drive")
;; => 0

;;; case splitpath
(list (splitpath "C:\\a\\b\\c.txt" 1) (splitpath "C:\\a\\b\\c.txt" 3) (splitpath "C:\\a\\b\\c.txt" 3 1))
;; => ("C:" "c.txt" "c")
(list (splitpath "C:\\a\\b\\c.txt" 2 1) (splitpath "C:\\a\\b\\c.txt" 2 2) (splitpath "C:\\a\\b\\c.txt" 2 3))
;; => ("a" "b" "")
(splitpath "C:/a/b/c.txt" 9 5)
;; => .txt
(strstr (splitpath "lsp_probe.txt" 2) "\\bin\\")
;; => *
(splitpath "lsp_probe.txt" 3)
;; => lsp_probe.txt

;;; case unc-names
(mapuncfilename "c:\\plain\\x")
;; => c:\\plain\\x
(mapuncfilename 1)
;; => *
;; err 0xE03A

;;; case date-texts
(setq d (coerce "$DT730119.5" 'datetime))
(s= (date2str d) (substr (datetimestamp d) 1 (strlen (date2str d))))
;; => T
(strstr (datetimestamp d) (strcat (date2str d) "  " (time2str d)))
;; => 1
(datetimestamp 5)
;; => *
;; err 0xE03A
