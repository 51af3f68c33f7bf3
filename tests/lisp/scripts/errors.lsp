;;; case error-hook-resumes
(defun *error* (n tb msg) 0)
(setq a 1)
(/ 1 0)
;; => 0
(list a (+ a 1))
;; => (1 2)

;;; case error-hook-value-stands-for-failed-expression
(defun *error* (n tb msg) (setq seen (list n msg)) 0)
(setq r (list 1 (nosuch) 3))
;; => (1 0 3)
seen
;; => (38 "nosuch")

;;; case error-in-second-of-three
(defun *error* (n tb msg) 0)
(setq log nil)
(setq log 'one) (car 5) (setq log (list log 'three))
;; => (one three)

;;; case error-hook-unwinds-quietly
(setq calls 0)
(defun *error* (n tb msg) (setq calls (+ calls 1)) 54)
(defun deep () (+ 1 (nosuch)))
(deep)
;; => *
;; err 0xE049
calls
;; => 1

;;; case error-hook-keeps-error
(defun *error* (n tb msg) n)
(car 5)
;; => *
;; err 0xE03A
;; msg 5

;;; case error-inside-error-hook
(defun *error* (n tb msg) (nosuch-in-handler))
(car 5)
;; => *
;; err 0xE048

;;; case traceback-lists-calls
(defun *error* (n tb msg) (setq trace tb) 54)
(defun outer () (inner))
(defun inner () (car 7))
(outer)
;; => *
;; err 0xE049
trace
;; => (car 7)\n(inner)\n(outer)

;;; case break-builtin
(break "stop")
;; => *
;; err 0xE047

;;; case remaining-expressions-skipped
(setq z 1) (car 5) (setq z 2)
;; => *
;; err 0xE03A
z
;; => 1

;;; case division-by-zero
(/ 1 0)
;; => *
;; err 0xE037
(div 7 0.5)
;; => *
;; err 0xE037
(mod 7 0.5)
;; => *
;; err 0xE037

;;; case variable-without-value
(set 'x 1)
;; => 1
(defun f () 1)
(setq r (getsysvar "nosuch"))
;; => *
;; err 0xE032
;; msg nosuch

;;; case sysvar-read-only
(setsysvar "MEMUSED" "1")
;; => *
;; err 0xE033
;; msg MEMUSED

;;; case bad-parameter-list
(defun f (1 2) 3)
;; => *
;; err 0xE034
(defun 5 () 3)
;; => *
;; err 0xE034
