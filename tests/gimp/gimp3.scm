; The Script-Fu the tests speak, in GIMP 3's procedures. gimp2.scm says the same in GIMP 2.10's.
(define (brisel-load path) (car (gimp-file-load RUN-NONINTERACTIVE path)))
(define (brisel-first-image) (vector-ref (car (gimp-get-images)) 0))
(define (brisel-drawable image) (vector-ref (car (gimp-image-get-selected-drawables image)) 0))
(define (brisel-save image path) (gimp-file-save RUN-NONINTERACTIVE image path))
; Brisel on drawables (a list) as the Filters menu starts it.
(define (brisel-paint image drawables) (plug-in-brisel RUN-INTERACTIVE image (list->vector drawables)))
(define (brisel-probe rgb rgba grey indexed folder)
  (plug-in-brisel-probe RUN-NONINTERACTIVE rgb rgba grey indexed folder))
